// The frame being built: the device's drawing commands, kept until Present,
// run into the back buffer in order, and compared with the frame the window
// shows.
#include <cstring>
#include <utility>

#include "platform/d3d9/objects.h"

namespace {

void RunCommand(Device& device, const FrameCommand& command) {
    SDL_Renderer* renderer = device.renderer;
    SDL_Texture* texture = command.texture == nullptr ? nullptr
                           : command.opaque           ? command.texture->opaqueTexture
                                                      : command.texture->sdlTexture;
    switch (command.kind) {
    case FrameCommand::kClear:
        SDL_SetRenderDrawColor(renderer, command.color.r, command.color.g, command.color.b,
                               command.color.a);
        SDL_RenderClear(renderer);
        break;
    case FrameCommand::kFill:
        SDL_SetRenderDrawColor(renderer, command.color.r, command.color.g, command.color.b,
                               command.color.a);
        SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_NONE);
        SDL_RenderFillRects(renderer, command.rects.data(), static_cast<int>(command.rects.size()));
        break;
    case FrameCommand::kCopy:
        SDL_SetTextureBlendMode(texture, command.blend);
        SDL_SetTextureColorMod(texture, command.color.r, command.color.g, command.color.b);
        SDL_SetTextureAlphaMod(texture, 255);
        UseScaleMode(renderer, texture, command.scale);
        SDL_RenderCopyF(renderer, texture, &command.source, &command.target);
        break;
    case FrameCommand::kGeometry:
        if (texture != nullptr) {
            SDL_SetTextureBlendMode(texture, command.blend);
            SDL_SetTextureColorMod(texture, 255, 255, 255);
            SDL_SetTextureAlphaMod(texture, 255);
            UseScaleMode(renderer, texture, command.scale);
        } else {
            SDL_SetRenderDrawBlendMode(renderer, command.blend);
        }
        SDL_RenderGeometry(renderer, texture, command.vertices.data(),
                           static_cast<int>(command.vertices.size()), nullptr, 0);
        break;
    }
}

template <typename T> bool SameItems(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

bool SameCommand(const FrameCommand& a, const FrameCommand& b) {
    return a.kind == b.kind && a.color.r == b.color.r && a.color.g == b.color.g &&
           a.color.b == b.color.b && a.color.a == b.color.a && a.blend == b.blend &&
           a.scale == b.scale && a.content == b.content && a.opaque == b.opaque &&
           a.blendStates == b.blendStates &&
           std::memcmp(&a.source, &b.source, sizeof a.source) == 0 &&
           std::memcmp(&a.target, &b.target, sizeof a.target) == 0 && SameItems(a.rects, b.rects) &&
           SameItems(a.vertices, b.vertices);
}

} // namespace

void RecordCommand(Device& device, FrameCommand command) {
    if (command.texture != nullptr) {
        command.texture->holds++;
    }
    device.frame.push_back(std::move(command));
}

void RunFrameCommands(Device& device) {
    if (device.drawsOnCpu) {
        RunCpuCommands(device);
        return;
    }
    for (; device.frameRun < device.frame.size(); device.frameRun++) {
        FrameCommand& command = device.frame[device.frameRun];
        RunCommand(device, command);
        if (command.texture != nullptr) {
            Unhold(command.texture);
            command.texture = nullptr;
        }
    }
}

bool FrameWaitsOn(const Device& device, const Texture* texture) {
    for (size_t i = device.frameRun; i < device.frame.size(); i++) {
        if (device.frame[i].texture == texture) {
            return true;
        }
    }
    return false;
}

bool SameFrame(const std::vector<FrameCommand>& frame, const std::vector<FrameCommand>& shown) {
    if (frame.empty() || frame[0].kind != FrameCommand::kClear || frame.size() != shown.size()) {
        return false;
    }
    for (size_t i = 0; i < frame.size(); i++) {
        if (!SameCommand(frame[i], shown[i])) {
            return false;
        }
    }
    return true;
}

void EndFrame(Device& device, bool shown) {
    for (FrameCommand& command : device.frame) {
        if (command.texture != nullptr) {
            Unhold(command.texture);
            command.texture = nullptr;
        }
    }
    if (shown) {
        device.shownFrame.swap(device.frame);
    }
    device.frame.clear();
    device.frameRun = 0;
}
