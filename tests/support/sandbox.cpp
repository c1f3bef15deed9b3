#include "sandbox.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

Sandbox::Sandbox() {
#ifdef _WIN32
    // No mkdtemp: a random name, created only when it is new.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path.empty(); attempt++) {
        char name[32];
        snprintf(name, sizeof name, "quillon-test-%08x", static_cast<unsigned>(random()));
        fs::path candidate = fs::temp_directory_path() / name;
        std::error_code ec;
        if (fs::create_directory(candidate, ec) && !ec)
            path = candidate.string() + "\\";
    }
    if (path.empty())
        throw std::runtime_error("cannot create a sandbox folder");
#else
    std::string tmpl = (fs::temp_directory_path() / "quillon-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    path = tmpl + "/";
#endif
}

Sandbox::~Sandbox() {
    std::error_code ec;
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto &entry : fs::recursive_directory_iterator(path, ec))
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path, ec);
}

void Sandbox::Write(const std::string &name, const std::string &content) const {
    fs::path p = File(name);
    fs::create_directories(p.parent_path());
    WriteFileBytes(p.string(), content);
}

std::string Sandbox::Read(const std::string &name) const { return ReadFileBytes(File(name)); }

bool Sandbox::Exists(const std::string &name) const { return fs::exists(File(name)); }

std::string ReadFileBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFileBytes(const std::string &path, const std::string &content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}
