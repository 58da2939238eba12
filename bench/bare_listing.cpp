// The baseline of the whole-process benchmark (process_bench.py): a bare C++ program that reads a
// design file and writes a file of a given size, the least a listing run has to do.
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
  if (argc != 4) return 2;  // bare_listing <design> <output> <bytes>
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string design = text.str();
  const std::size_t size = std::strtoul(argv[3], nullptr, 10);
  std::string out;
  out.reserve(size + design.size());
  while (out.size() < size) out += design.empty() ? std::string(" ") : design;
  out.resize(size);
  std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
  file << out;
  return in && file ? 0 : 1;
}
