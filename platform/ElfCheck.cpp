#include "platform/ElfCheck.h"

#include <QFile>

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace vx::platform {
namespace {

using Ehdr = ElfW(Ehdr);
using Phdr = ElfW(Phdr);
using Shdr = ElfW(Shdr);

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

bool ReadAt(int fd, std::uint64_t offset, void* buffer, std::size_t length) {
    auto* out = static_cast<char*>(buffer);
    while (length > 0) {
        const ssize_t n = ::pread(fd, out, length, static_cast<off_t>(offset));
        if (n <= 0) return false;
        out += n;
        offset += static_cast<std::uint64_t>(n);
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

// [offset, offset + count * entry) inside a file of `size` bytes, without
// overflow for any header values.
bool TableInside(std::uint64_t offset, std::uint64_t count, std::uint64_t entry,
                 std::uint64_t size) {
    if (offset > size) return false;
    if (entry != 0 && count > (size - offset) / entry) return false;
    return true;
}

bool RangeInside(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
    return offset <= size && length <= size - offset;
}

// The identity of the running program, against which libraries are held.
const unsigned char* ProgramIdent(Elf64_Half* machine) {
    static unsigned char ident[EI_NIDENT] = {};
    static Elf64_Half programMachine = EM_NONE;
    static const bool read = [] {
        Fd fd(::open("/proc/self/exe", O_RDONLY | O_CLOEXEC));
        Ehdr header{};
        if (fd.get() < 0 || !ReadAt(fd.get(), 0, &header, sizeof header)) return false;
        std::memcpy(ident, header.e_ident, EI_NIDENT);
        programMachine = header.e_machine;
        return true;
    }();
    if (!read) return nullptr;
    *machine = programMachine;
    return ident;
}

bool Fail(QString* why, const char* reason) {
    if (why) *why = QString::fromLatin1(reason);
    return false;
}

}  // namespace

bool IsWholeSharedObject(const QString& path, QString* why) {
    // O_NONBLOCK: a FIFO named like a library must not hang the check.
    Fd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) return Fail(why, "cannot open");
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return Fail(why, "not a regular file");
    const auto size = static_cast<std::uint64_t>(st.st_size);

    Ehdr header{};
    if (size < sizeof header || !ReadAt(fd.get(), 0, &header, sizeof header))
        return Fail(why, "shorter than an ELF header");
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) return Fail(why, "not ELF");

    Elf64_Half machine = EM_NONE;
    const unsigned char* own = ProgramIdent(&machine);
    if (!own) return Fail(why, "cannot read the program's own header");
    if (header.e_ident[EI_CLASS] != own[EI_CLASS]) return Fail(why, "other ELF class");
    if (header.e_ident[EI_DATA] != own[EI_DATA]) return Fail(why, "other byte order");
    if (header.e_ident[EI_VERSION] != EV_CURRENT || header.e_version != EV_CURRENT)
        return Fail(why, "unknown ELF version");
    if (header.e_machine != machine) return Fail(why, "built for another machine");
    if (header.e_type != ET_DYN) return Fail(why, "not a shared object");

    // Program headers: every segment's file contents inside the file.
    if (header.e_phnum == 0 || header.e_phnum == PN_XNUM) return Fail(why, "no program headers");
    if (header.e_phentsize != sizeof(Phdr)) return Fail(why, "odd program header size");
    if (!TableInside(header.e_phoff, header.e_phnum, sizeof(Phdr), size))
        return Fail(why, "program headers past the end of the file");
    std::vector<Phdr> segments(header.e_phnum);
    if (!ReadAt(fd.get(), header.e_phoff, segments.data(), segments.size() * sizeof(Phdr)))
        return Fail(why, "cannot read program headers");
    for (const Phdr& p : segments)
        if (!RangeInside(p.p_offset, p.p_filesz, size))
            return Fail(why, "a segment lies past the end of the file");

    // Section headers: optional for the loader, but when present the table
    // and every section with contents must be whole too; readers of the
    // version block rely on it.
    if (header.e_shoff == 0) return true;
    if (header.e_shentsize != sizeof(Shdr)) return Fail(why, "odd section header size");
    std::uint64_t count = header.e_shnum;
    if (!RangeInside(header.e_shoff, sizeof(Shdr), size))
        return Fail(why, "section headers past the end of the file");
    if (count == 0) {
        // More sections than e_shnum can hold: the count is in section 0.
        Shdr first{};
        if (!ReadAt(fd.get(), header.e_shoff, &first, sizeof first))
            return Fail(why, "cannot read section headers");
        count = first.sh_size;
    }
    if (!TableInside(header.e_shoff, count, sizeof(Shdr), size))
        return Fail(why, "section headers past the end of the file");
    std::vector<Shdr> sections(count);
    if (!ReadAt(fd.get(), header.e_shoff, sections.data(), sections.size() * sizeof(Shdr)))
        return Fail(why, "cannot read section headers");
    for (const Shdr& s : sections)
        if (s.sh_type != SHT_NOBITS && !RangeInside(s.sh_offset, s.sh_size, size))
            return Fail(why, "a section lies past the end of the file");
    return true;
}

}  // namespace vx::platform
