// Command-line settings: the five values the show is configured by, and the
// table of key=value words they were taken from.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct Settings {
    int32_t width = 1920;  // back-buffer width, pixels
    int32_t height = 1200; // back-buffer height, pixels
    float time = 12.0f;    // seconds each slide is shown, its fade included
    float fade = 3.0f;     // seconds of crossfade at the end of each slide
    // Folder of the images; empty means the current directory. Points into
    // the value text held by settingsMap (never a copy), so it stays valid
    // until settingsMap is freed at shutdown.
    const char* path = "";
};

extern Settings settings;
// Lower-cased key -> lower-cased value, the last word naming a key wins.
extern std::map<std::string, std::string> settingsMap;
// The words of the command line after quote joining; freed at shutdown.
extern std::vector<std::string> commandWords;

// Splits `text` wherever one of `delimiters` stands, as strtok_s does: runs of
// delimiters count as one and pieces are never empty. A negative `limit`
// means no limit; otherwise at most `limit` pieces are returned and the rest
// of the text is dropped.
std::vector<std::string> SplitString(const std::string& text, const std::string& delimiters,
                                     int limit);

// Reads the command line (without the program's name) into settings,
// settingsMap and commandWords. Malformed words are skipped; never fails.
void ParseCommandLine(const char* commandLine);

// Base-10 conversion as strtol does it, clamped to the signed 32-bit range;
// the same on every platform and in every locale.
int32_t ParseInteger(const char* text);
// Decimal conversion as atof does it (no hexadecimal, infinity or NaN words),
// rounded to the nearest single-precision value; locale-independent.
float ParseSeconds(const char* text);

// Lowers `fade` to `time` when it is larger: the crossfade never outlasts the
// slide. Applied once, before the main loop.
void ApplyFadeRule(Settings& s);

// Frees settingsMap and commandWords; settings.path becomes empty.
void FreeSettings();
