// A bounded randomized pass over the daemon-reply fuzz target, run in the normal suite
// under the sanitizers: the seeds of corpus/replies as they are, then mutated (bytes
// changed, inserted, removed, records repeated, the stream cut).
// usage: tst_sane_replies CORPUS_DIR [ITERATIONS] [SEED]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern int g_iFuzzStartsAnswered;

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<Bytes> ReadSeeds(const std::string &dir)
{
    std::vector<Bytes> seeds;
    DIR *d = opendir(dir.c_str());
    if (!d)
        return seeds;
    while (dirent *e = readdir(d)) {
        if (e->d_name[0] == '.')
            continue;
        std::ifstream f(dir + "/" + e->d_name, std::ios::binary);
        seeds.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    closedir(d);
    return seeds;
}

Bytes Mutate(std::mt19937 &rng, Bytes b)
{
    for (unsigned e = 1 + rng() % 6; e > 0 && !b.empty(); --e) {
        const size_t at = rng() % b.size();
        switch (rng() % 6) {
        case 0:  // a byte changed, mostly in the small numbers that records carry
            b[at] = uint8_t(rng() % 2 ? rng() % 12 : rng());
            break;
        case 1:
            b.insert(b.begin() + long(at), uint8_t(rng()));
            break;
        case 2:
            b.erase(b.begin() + long(at), b.begin() + long(std::min(b.size(), at + 1 + rng() % 20)));
            break;
        case 3: {  // a 16-byte record repeated
            const size_t from = at - at % 4;
            if (from + 16 <= b.size()) {
                const Bytes rec(b.begin() + long(from), b.begin() + long(from) + 16);
                b.insert(b.begin() + long(from), rec.begin(), rec.end());
            }
            break;
        }
        case 4:  // the daemon stops here
            b.resize(at + 1);
            break;
        default:  // a 32-bit field set to an edge value
            if (at + 4 <= b.size()) {
                const int32_t edges[] = {-1, 0, 1, 3, 5, 9, 100000, 0x7fffffff, int32_t(0x80000000)};
                const int32_t v = edges[rng() % 9];
                for (int i = 0; i < 4; ++i)
                    b[at + size_t(i)] = uint8_t(uint32_t(v) >> (8 * i));
            }
        }
    }
    return b;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: tst_sane_replies CORPUS_DIR [ITERATIONS] [SEED]\n");
        return 2;
    }
    const std::vector<Bytes> seeds = ReadSeeds(argv[1]);
    const long iterations = argc > 2 ? atol(argv[2]) : 3000;
    const unsigned seed = argc > 3 ? unsigned(atol(argv[3])) : 20261208u;
    if (seeds.empty()) {
        fprintf(stderr, "no seeds in %s\n", argv[1]);
        return 1;
    }
    for (const Bytes &s : seeds)
        LLVMFuzzerTestOneInput(s.data(), s.size());
    // The seeds are well-formed conversations: their scan starts are answered (the busy
    // one as busy) rather than given up, else the pass would only see the first reply.
    if (g_iFuzzStartsAnswered == 0) {
        fprintf(stderr, "no seed got an answer to its scan start\n");
        return 1;
    }
    std::mt19937 rng(seed);
    for (long it = 0; it < iterations; ++it) {
        const Bytes in = Mutate(rng, seeds[rng() % seeds.size()]);
        LLVMFuzzerTestOneInput(in.data(), in.size());
    }
    printf("%zu seeds and %ld mutated inputs, seed %u: no fault\n", seeds.size(), iterations, seed);
    return 0;
}
