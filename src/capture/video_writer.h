#pragma once
// The MP4 file, made by Debian's ffmpeg program run as child processes: one
// encodes the raw frames piped to it (BGR, 3 bytes a pixel, top row first) into
// H.264, another the music piped to it (32-bit float stereo) into AAC, and when
// both are done a third puts the two streams together in the final file without
// encoding them again. Each encoder reads one pipe only, so neither can hold the
// other up. Frames reach their pipe from a thread of their own, through a short
// queue, so that drawing goes on while ffmpeg takes the previous frames.
#include <cstdint>
#include <string>

// What the encoders make and where they put it.
struct VideoWriterSettings {
    std::string path;        // the finished file (the capture's temporary name for it)
    std::string videoPath;   // the video stream alone, while the capture runs
    std::string audioPath;   // the audio stream alone, while the capture runs
    std::string logPath;     // where ffmpeg's own messages go
    int width = 0;           // pixels
    int height = 0;          // pixels
    int fps = 0;             // frames per second
    int sampleRate = 44100;  // Hz of the audio
    std::string preset;      // x264 preset
    int crf = 20;            // x264 constant rate factor
    bool (*interrupted)() = nullptr;  // whether the capture was asked to stop: writing then ends at once
};

// Starts both encoders; false with a message when they cannot be started (ffmpeg
// not installed, no pipes).
bool startVideoWriter(const VideoWriterSettings& settings, std::string& error);

// A buffer for the next new frame (width x height x 3 bytes, BGR, top row first),
// free of every queued frame; waits for the encoder when all are queued. It stays
// valid, and is the frame writeVideoFrame queues, until the next call.
uint8_t* newFrameBuffer();

// Queues the frame in the buffer last handed out by newFrameBuffer for the video
// encoder, once more for a frame that repeats. False with a message when the
// encoder stopped taking input or the capture was interrupted.
bool writeVideoFrame(std::string& error);

// Hands `count` interleaved stereo frames of audio to the audio encoder; false as above.
bool writeAudio(const float* frames, int count, std::string& error);

// Ends both streams, waits for the encoders and puts the streams together in the
// finished file. False with a message when ffmpeg failed.
bool finishVideoWriter(std::string& error);

// Stops every ffmpeg process at once and waits for them to go (files are left unfinished).
void abortVideoWriter();

// The last lines ffmpeg printed, for error messages.
std::string encoderMessages();
