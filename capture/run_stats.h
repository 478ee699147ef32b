// What a run tells on standard error about its speed: the progress line of a capture or time
// demo, rewritten in place a few times a second, and one summary line at the end of every run.
#pragma once

// A run begins. fps > 0: the show runs on the capture clock at that rate, and the progress line
// is shown; 0: a window on the wall clock (summary only). limit >= 0: the clock reading at which
// --duration ends the show; the show's "@end" line bounds it too. timesPath, when not empty, is
// --frame-times' CSV file: a header, then a line a frame (number, script time, milliseconds since
// the previous frame, the script line and its command). False when it cannot be made (said on
// stderr and in the trace log).
bool stats_Begin(double fps, double limit, const char *timesPath = nullptr);

// A frame has been drawn (and handed over to be written): its number from 0, the clock reading
// it showed. Times the frame since the previous one and updates the progress line.
void stats_Frame(long frame, double clock);

// Ends the progress line and prints the summary: frames drawn, average frames per second, the
// slowest frame and the script line running at it, and the median frame. False when the
// frame-times file could not be written whole (said once, as it happened).
bool stats_End();
