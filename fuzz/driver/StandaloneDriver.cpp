// Runs a libFuzzer entry point without libFuzzer: every file of the corpus
// folders first, then mutations of them (bit flips, byte changes, insertions,
// deletions, splices) from a fixed seed, until the run or time budget is spent.
// A crash or sanitizer report ends the program as it would under libFuzzer.
//
//   harness [-seconds=N] [-runs=N] [-seed=N] CORPUS_DIR_OR_FILE...

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using Input = std::vector<uint8_t>;

Input ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Input(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Run(const Input& in) { LLVMFuzzerTestOneInput(in.empty() ? nullptr : in.data(), in.size()); }

Input Mutate(const std::vector<Input>& corpus, std::mt19937_64& rng) {
  Input out = corpus[rng() % corpus.size()];
  int steps = 1 + static_cast<int>(rng() % 4);
  for (int s = 0; s < steps; ++s) {
    switch (rng() % 6) {
      case 0:
        if (!out.empty()) out[rng() % out.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
        break;
      case 1:
        if (!out.empty()) out[rng() % out.size()] = static_cast<uint8_t>(rng());
        break;
      case 2: {
        size_t at = out.empty() ? 0 : rng() % (out.size() + 1);
        static const uint8_t interesting[] = {0, '\'', '"', '<', '>', '&', '%', '_', 0xFF, 0xED, 0xF0, 0x80, '/', '.'};
        out.insert(out.begin() + static_cast<long>(at), interesting[rng() % sizeof(interesting)]);
        break;
      }
      case 3:
        if (!out.empty()) {
          size_t at = rng() % out.size();
          size_t len = 1 + rng() % std::min<size_t>(8, out.size() - at);
          out.erase(out.begin() + static_cast<long>(at), out.begin() + static_cast<long>(at + len));
        }
        break;
      case 4: {
        const Input& other = corpus[rng() % corpus.size()];
        if (!other.empty()) {
          size_t from = rng() % other.size();
          size_t len = 1 + rng() % (other.size() - from);
          size_t at = out.empty() ? 0 : rng() % (out.size() + 1);
          out.insert(out.begin() + static_cast<long>(at), other.begin() + static_cast<long>(from),
                     other.begin() + static_cast<long>(from + len));
        }
        break;
      }
      default:
        if (out.size() > 1) out.resize(rng() % out.size());
        break;
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 3;
  long runs = 100000;
  uint64_t seed = 12345;
  std::vector<Input> corpus;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.rfind("-seconds=", 0) == 0) {
      seconds = std::atof(arg.c_str() + 9);
    } else if (arg.rfind("-runs=", 0) == 0) {
      runs = std::atol(arg.c_str() + 6);
    } else if (arg.rfind("-seed=", 0) == 0) {
      seed = std::strtoull(arg.c_str() + 6, nullptr, 10);
    } else if (std::filesystem::is_directory(arg)) {
      for (const auto& e : std::filesystem::recursive_directory_iterator(arg))
        if (e.is_regular_file()) corpus.push_back(ReadFile(e.path()));
    } else if (std::filesystem::is_regular_file(arg)) {
      corpus.push_back(ReadFile(arg));
    } else {
      std::fprintf(stderr, "no such corpus: %s\n", arg.c_str());
      return 2;
    }
  }
  for (const Input& in : corpus) Run(in);
  if (corpus.empty()) corpus.emplace_back();
  std::mt19937_64 rng(seed);
  auto start = std::chrono::steady_clock::now();
  long done = 0;
  for (; done < runs; ++done) {
    if ((done & 63) == 0 &&
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >= seconds)
      break;
    Run(Mutate(corpus, rng));
  }
  std::printf("fuzz: %zu corpus inputs, %ld mutated executions\n", corpus.size(), done);
  return 0;
}
