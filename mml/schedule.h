// The writing of a file's track blocks, on one thread or on several.
//
// Once the rhythm table is built the tracks are independent: a big file's
// tracks are converted in batches on several threads, each batch into a text
// of its own, and written in track order, so that the output is the same on
// any number of threads. The threads and batch sizes are the scheduler's
// business alone: they change how fast, never what is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "mml/text_writer.h"

namespace vantrel {

struct Schedule {
  // How many threads may convert tracks at once.
  int threads = 1;
  // Consecutive tracks go to a thread in batches of about this many events
  // (some milliseconds of work), and only files of four batches or more are
  // shared out: a thread's start and its memory cost more than a smaller
  // file takes on one. Tests make it small to share out small files.
  std::size_t batchEvents = std::size_t{1} << 16;
};

struct OpenedSong;
class PreviewCollector;

// Writes the blocks of the tracks that `song` writes to `output` as
// `schedule` allows, in track order; stops early when the output fails. The
// memory it takes stays within the input's size and some megabytes,
// whatever the threads: threads the memory cannot hold are not started.
// With a `preview`, every track is handed to it, and the tracks are written
// on one thread (the preview's lines are places in one text).
void writeTracks(const OpenedSong& song, TextWriter& output, const Schedule& schedule,
                 PreviewCollector* preview = nullptr);

}  // namespace vantrel
