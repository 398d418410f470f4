// Runs a fuzz target's entry function once on every file of the folders
// given, without fuzzing: the corpus and the inputs that once failed are
// replayed by ctest in every build.
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::string current;

// Names the input that crashed or failed a check.
void onSignal(int sig) {
    const char* text = "\nreplay: failed on ";
    (void)!write(2, text, std::char_traits<char>::length(text));
    (void)!write(2, current.data(), current.size());
    (void)!write(2, "\n", 1);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    for (int sig : {SIGABRT, SIGSEGV, SIGFPE, SIGBUS, SIGILL}) std::signal(sig, onSignal);
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        if (!fs::is_directory(argv[i])) continue;  // no regressions yet
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(argv[i]))
            if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
                files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const auto& file : files) {
            current = file.string();
            std::ifstream in(file, std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(in), {}};
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                   bytes.size());
            ++replayed;
        }
    }
    std::printf("replayed %d inputs\n", replayed);
    // An empty or missing corpus would let this test pass without checking anything.
    return replayed > 0 ? 0 : 1;
}
