#pragma once
// Result codes of the audio layer and their texts. Every failure is logged at error level as "(%d) %s" with
// the reporting class as tag ("SoundDriver", "Sound", "Music"). The file codes are the ones the engine always
// used for files it cannot read; the others are this engine's own.

#include <cstdint>

enum class AudioError : std::int32_t {
    None = 0,
    FileBad = 19,          // the file's size cannot be read
    FileCouldNotSeek = 20, // a seek inside the file failed
    FileEof = 22,          // the file ended before the decoder had what it needed
    FileNotFound = 23,     // no mount can open the path
    Format = 100,          // not a supported audio file, or a corrupt one
    Uninitialized = 101,   // no sound driver is running
    NoDevice = 102,        // no audio output device could be opened
    Device = 103,          // the device refused a context or the channels
    ChannelsInUse = 104,   // every channel of the driver is playing
    InvalidHandle = 105,   // the channel has ended
    InvalidPosition = 106, // a position past the end of the piece
    Memory = 107,          // out of memory, or a file too long to decode into memory
    Library = 108,         // the audio library reported an error
};

// The text of a code ("No errors." for 0; an unknown code has a text too).
const char* audioErrorText(AudioError error);

// Logs "(%d) %s" at error level with the tag.
void logAudioError(const char* tag, AudioError error);
