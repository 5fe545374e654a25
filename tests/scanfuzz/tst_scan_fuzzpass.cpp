// A bounded randomized pass over one fuzz target, run in the normal suite (under the
// sanitizers): random inputs, plus inputs built to look like the protocol so that the
// pass gets past the first checks.
// usage: tst_scan_fuzzpass [ITERATIONS] [SEED] [SEED_DIR]   (the files of SEED_DIR run first)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

// Pieces that make inputs protocol-shaped: command codes with plausible lengths, frame
// headers of the scanner, record answers.
void AddPiece(std::mt19937 &rng, std::vector<uint8_t> &in)
{
    auto byte = [&] { return uint8_t(rng()); };
    switch (rng() % 6) {
    case 0: {  // a 2-byte read length, then that many bytes
        const unsigned n = rng() % 3 ? rng() % 40 : rng() % 600;
        in.push_back(uint8_t(n));
        in.push_back(uint8_t(n >> 8));
        for (unsigned i = 0; i < n; ++i)
            in.push_back(byte());
        break;
    }
    case 1: {  // an answer header: 1B class code, size, flag
        const uint8_t codes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x0A, 0x0F};
        const uint16_t ds = uint16_t(rng() % 4 ? rng() % 64 : rng() % 0x10000);
        const uint8_t frame[] = {8 + 23, 0, 0x1B, uint8_t(rng() % 4 ? 0x53 : 0x44), codes[rng() % 8], 0,
                                 uint8_t(ds), uint8_t(ds >> 8), uint8_t(0x80 + rng() % 12), byte()};
        in.insert(in.end(), frame, frame + sizeof frame);
        for (int i = 0; i < 23; ++i)
            in.push_back(i == 0 ? uint8_t(rng() % 12) : byte());
        break;
    }
    case 2: {  // a command code and its record
        const int32_t code = int32_t(rng() % 22) - 1;
        for (int i = 0; i < 4; ++i)
            in.push_back(uint8_t(uint32_t(code) >> (8 * i)));
        const unsigned n = rng() % 2 ? rng() % 64 : rng() % 1100;
        for (unsigned i = 0; i < n; ++i)
            in.push_back(i < 4 && rng() % 2 ? uint8_t(i == 0 ? 0xE8 : i == 1 ? 0x03
                                                                             : 0)
                                            : byte());
        break;
    }
    case 3:  // an operation byte and its argument
        in.push_back(byte());
        in.push_back(byte());
        break;
    case 4:  // a failed read
        in.push_back(0xFF);
        in.push_back(0xFF);
        break;
    default:
        for (unsigned i = rng() % 16; i > 0; --i)
            in.push_back(byte());
        break;
    }
}

}  // namespace

int main(int argc, char **argv)
{
    const long iterations = argc > 1 ? atol(argv[1]) : 20000;
    const unsigned seed = argc > 2 ? unsigned(atol(argv[2])) : 20261208u;
    long seeds = 0;
    if (argc > 3) {
        DIR *d = opendir(argv[3]);
        for (dirent *e; d && (e = readdir(d));) {
            if (e->d_name[0] == '.')
                continue;
            FILE *f = fopen((std::string(argv[3]) + "/" + e->d_name).c_str(), "rb");
            std::vector<uint8_t> in;
            for (int c; f && (c = fgetc(f)) != EOF;)
                in.push_back(uint8_t(c));
            if (f)
                fclose(f);
            LLVMFuzzerTestOneInput(in.data(), in.size());
            ++seeds;
        }
        if (d)
            closedir(d);
        if (seeds == 0) {
            fprintf(stderr, "no seeds in %s\n", argv[3]);
            return 1;
        }
    }
    std::mt19937 rng(seed);
    std::vector<uint8_t> in;
    for (long it = 0; it < iterations; ++it) {
        in.clear();
        const unsigned pieces = rng() % 12;
        if (rng() % 2) {  // the requests target's client length prefix
            const unsigned n = rng() % 2000;
            in.push_back(uint8_t(n));
            in.push_back(uint8_t(n >> 8));
        }
        for (unsigned p = 0; p < pieces && in.size() < 4096; ++p)
            AddPiece(rng, in);
        LLVMFuzzerTestOneInput(in.data(), in.size());
    }
    printf("%ld seeds, %ld inputs, seed %u: no fault\n", seeds, iterations, seed);
    return 0;
}
