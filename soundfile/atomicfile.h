#pragma once

#include <string>

namespace vorn {

// A file that appears complete or not at all: it is written as a temporary file in the folder of
// its destination and renamed onto it by Commit(). Until then the destructor, and an interruption
// by SIGINT, SIGTERM or SIGHUP, remove the temporary file. The renderer writes one such file at a
// time.
class AtomicFile
{
public:
    // Throws std::invalid_argument naming the path when the folder cannot take the file.
    explicit AtomicFile(std::string path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // The temporary file's descriptor, open for reading and writing.
    [[nodiscard]] int Descriptor() const { return m_fd; }
    [[nodiscard]] const std::string& Path() const { return m_path; }

    // Gives the file the usual permissions of a new file, flushes it to the disk, closes it and
    // renames it onto the destination. Throws std::runtime_error naming the problem; the
    // temporary file is then gone.
    void Commit();

private:
    // Closes and removes the temporary file, if it is still there.
    void Discard();
    [[noreturn]] void Fail(int error);

    std::string m_path;
    std::string m_temporary;
    int m_fd = -1;
};

} // namespace vorn
