// The exporter linked into the benchmarks, and a large MD3 it writes for the import benchmarks:
// a player-sized model of five animated surfaces and three tags over 217 frames (about 3.4 MB).
#ifndef BENCH_GENERATED_MD3_H
#define BENCH_GENERATED_MD3_H

#include <string>

namespace bench {

constexpr int kGeneratedMd3Frames = 217;

// Attaches the exporter's code (its resources are the benchmark program's), once.
void attachExporter();

// The MD3 file, written on first use into the scratch folder.
const std::string& generatedMd3Path();

}  // namespace bench

#endif
