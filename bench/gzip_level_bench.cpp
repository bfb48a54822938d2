// What gzip costs per answer at each zlib level: compresses a captured page
// (e.g. a list page saved with curl) with the server's own Gzip, and prints
// per level the thread CPU time per page, the coded size and the saving
// per millisecond of CPU.
//
//   gzip_level_bench PAGE.html [ROUNDS]      (ROUNDS defaults to 200)
#include <time.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "site/http/content_coding.h"

namespace {

double ThreadCpuMicros() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: gzip_level_bench PAGE.html [ROUNDS]\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (page.empty()) {
    std::cerr << "gzip_level_bench: " << argv[1] << " is empty or unreadable\n";
    return 2;
  }
  int rounds = argc > 2 ? std::stoi(argv[2]) : 200;
  std::cout << "page: " << page.size() << " bytes, " << rounds << " rounds per level\n"
            << "level  us/page  coded bytes  ratio  saved KB per CPU ms\n";
  for (int level = 1; level <= 9; ++level) {
    std::size_t coded = tabrix::site::Gzip(page, level).size();  // warms the stream
    double start = ThreadCpuMicros();
    for (int i = 0; i < rounds; ++i) coded = tabrix::site::Gzip(page, level).size();
    double micros = (ThreadCpuMicros() - start) / rounds;
    double saved_kb = static_cast<double>(page.size() - coded) / 1024.0;
    std::printf("%5d  %7.0f  %11zu  %5.2f  %19.1f\n", level, micros, coded,
                static_cast<double>(page.size()) / static_cast<double>(coded),
                saved_kb / (micros / 1000.0));
  }
  return 0;
}
