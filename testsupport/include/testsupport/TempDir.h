#pragma once
// Scratch folders and whole-file helpers for tests.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace testsupport {

// A fresh folder under the temporary folder, removed with everything in it
// when the object dies.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// Writes `bytes` as they are, creating missing parent folders.
void WriteFile(const std::filesystem::path& p, const std::string& bytes);
// The whole file; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& p);

// A test fixture with its own scratch folder `dir`.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(m_temp.Path().empty()); dir = m_temp.Path(); }
    void Write(const std::filesystem::path& rel, const std::string& bytes) { WriteFile(dir / rel, bytes); }
    std::string Read(const std::filesystem::path& rel) const { return ReadFile(dir / rel); }

    std::filesystem::path dir;

private:
    TempDir m_temp;
};

}  // namespace testsupport
