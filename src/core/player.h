#pragma once

#include <QString>

#include <functional>

// Plays call recordings (Qt Multimedia), one at a time: a new one stops the one playing. Tests
// replace the sound with a handler that records what it was asked to play.
namespace player {

// Starts playing the file; false with the reason (in the program's words) when it cannot.
bool play(const QString& file, QString* why);
void stop();

// Replaces the player (tests): it gets the file and answers as play() would. Empty restores it.
using Handler = std::function<bool(const QString& file, QString* why)>;
void setHandler(Handler handler);

} // namespace player
