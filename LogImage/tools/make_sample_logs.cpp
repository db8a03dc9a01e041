// Writes the ready-made sample logs into a folder (default: the current one).
//   make-sample-logs [FOLDER]
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "logimage/LogImage.h"

int main(int argc, char** argv) {
    const std::filesystem::path dir = argc > 1 ? argv[1] : ".";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    for (const auto& log : logimage::SampleLogs()) {
        const auto path = dir / log.fileName;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(log.data.data()), static_cast<std::streamsize>(log.data.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "make-sample-logs: cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("%s (%zu bytes)\n", path.c_str(), log.data.size());
    }
    return 0;
}
