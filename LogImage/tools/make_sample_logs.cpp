// Writes the ready-made sample logs into a folder (default: the current one).
//   make-sample-logs [FOLDER]
// Each file is replaced whole, so a failed run never leaves a cut-off log.
#include <cstdio>
#include <filesystem>
#include <string_view>

#include "common/textfile.h"
#include "logimage/LogImage.h"

int main(int argc, char** argv) {
    const std::filesystem::path dir = argc > 1 ? argv[1] : ".";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    for (const auto& log : logimage::SampleLogs()) {
        const auto path = dir / log.fileName;
        const std::string_view bytes(reinterpret_cast<const char*>(log.data.data()), log.data.size());
        if (!cmn::WriteFileAtomic(path, bytes)) {
            std::fprintf(stderr, "make-sample-logs: cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("%s (%zu bytes)\n", path.c_str(), log.data.size());
    }
    return 0;
}
