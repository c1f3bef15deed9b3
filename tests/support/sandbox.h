// Sandbox: a fresh temporary folder for one test, removed with everything in
// it when the test ends. Tests keep every file they make inside one.
#pragma once

#include <string>

class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox &) = delete;
    Sandbox &operator=(const Sandbox &) = delete;

    // The folder, ending in the platform's separator.
    const std::string &Path() const { return path; }
    // Path() + name.
    std::string File(const std::string &name) const { return path + name; }
    // Writes (creating folders as needed) and reads whole files, byte for byte.
    void Write(const std::string &name, const std::string &content) const;
    std::string Read(const std::string &name) const;
    bool Exists(const std::string &name) const;

private:
    std::string path;
};

// Whole-file helpers for absolute paths.
std::string ReadFileBytes(const std::string &path);
void WriteFileBytes(const std::string &path, const std::string &content);
