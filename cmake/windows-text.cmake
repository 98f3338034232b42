# Copies a text file with Windows line endings (CR LF), for the texts of the
# Windows zip that Notepad and other Windows readers open:
#   cmake -DINPUT=README.md -DOUTPUT=README.txt -P windows-text.cmake
file(READ ${INPUT} text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUTPUT} "${text}")
