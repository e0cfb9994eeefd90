#include "audio/audio_errors.h"

#include "platform/kd.h"

const char* audioErrorText(AudioError error) {
    switch (error) {
    case AudioError::None:
        return "No errors.";
    case AudioError::FileBad:
        return "The size of the file cannot be read.";
    case AudioError::FileCouldNotSeek:
        return "Could not seek inside the file.";
    case AudioError::FileEof:
        return "End of file reached unexpectedly.";
    case AudioError::FileNotFound:
        return "File not found.";
    case AudioError::Format:
        return "Unsupported or corrupt audio file.";
    case AudioError::Uninitialized:
        return "The sound system is not initialised.";
    case AudioError::NoDevice:
        return "No audio output device.";
    case AudioError::Device:
        return "The audio device refused the mixer or its channels.";
    case AudioError::ChannelsInUse:
        return "Every channel is in use.";
    case AudioError::InvalidHandle:
        return "The channel has ended.";
    case AudioError::InvalidPosition:
        return "The position is past the end of the sound.";
    case AudioError::Memory:
        return "Not enough memory.";
    case AudioError::Library:
        return "The audio library reported an error.";
    }
    return "Unknown error.";
}

void logAudioError(const char* tag, AudioError error) {
    logError(tag, "(%d) %s", static_cast<int>(error), audioErrorText(error));
}
