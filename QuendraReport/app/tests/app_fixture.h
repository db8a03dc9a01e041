#pragma once
// A scratch folder per test, with helpers to write and read files byte for byte.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (std::filesystem::temp_directory_path() / "report_app_test_XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir = tmpl;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    void Write(const std::filesystem::path& rel, const std::string& bytes) {
        std::filesystem::create_directories((dir / rel).parent_path());
        std::ofstream(dir / rel, std::ios::binary) << bytes;
    }
    std::string Read(const std::filesystem::path& rel) {
        std::ifstream in(dir / rel, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    std::filesystem::path dir;
};
