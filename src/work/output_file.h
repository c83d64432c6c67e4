// The target of an export: created (or emptied) once, filled through large
// buffers that go to the file with write(2) behind the filling (see
// write_behind), and text encoded into them as the export's output
// encoding wants it.
//
// Which targets are accepted: a new file, or an existing ordinary file that
// the user already agreed to overwrite (the save dialog asks), which is then
// emptied.  Refused without touching anything: a symbolic link (the link is
// never followed into another place), a device or a pipe, and the very file
// the rows are read from (the same file by device and inode, so a hard link
// or a linked folder is caught too).  A folder fails with the system's reason.
//
// Thread-safety: one output_file serves one thread.
#pragma once

#include "work/text_encoder.h"
#include "work/write_behind.h"

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

// The identity of a file on this system: device and inode.
struct file_identity {
    dev_t device = 0;
    ino_t inode = 0;
    bool known = false;
};

// The identity of the file at path, following symbolic links; unknown when
// it cannot be looked at.
file_identity IdentityOfPath(std::u16string_view path);

// The system's text for an errno code; "IDS_MSG_UNKNOWN_ERROR" when the
// system has none.
std::u16string ErrorCodeText(int code);

class output_file {
public:
    enum class create_result {
        created,    // open, empty, ready for writing
        failed,     // the system refused: error() holds the errno code
        not_a_file, // a link, a device or a pipe
        is_source,  // the file the rows are read from
    };

    static constexpr std::size_t kBufferSize = write_behind::kBufferSize;

    explicit output_file(output_encoding encoding, write_function writer = nullptr);
    ~output_file();
    output_file(const output_file&) = delete;
    output_file& operator=(const output_file&) = delete;

    // Creates path, or empties the ordinary file found there.  source, when
    // known, is refused as a target.
    create_result create(std::u16string_view path, const file_identity& source);

    // Appends text, encoded; nothing once a write has failed.
    void append(std::u16string_view text);
    // Appends raw bytes (the byte-order mark, ASCII line ends).
    void append_bytes(std::string_view bytes);
    // Appends one CSV field: with quoted, enclosed in quotation marks (inner
    // ones doubled) when it holds a comma, a quotation mark, a carriage
    // return or a line feed; without, as it stands.
    void append_csv_field(std::u16string_view field, bool quoted);
    // Appends a CSV line: the fields by append_csv_field, joined by ",",
    // then "\r\n".  (Separators and marks are written as ASCII bytes: every
    // code page of this system is a superset of ASCII.)
    void append_csv_line(std::span<const std::u16string_view> fields, bool quoted);

    // Whether a write has failed, and the errno code of the failure.  A
    // failure shows once the buffer it was in has been handed over: within
    // two buffers of output, and at the latest in close().
    bool failed() const { return m_error != 0; }
    int error() const { return m_error; }
    // Bytes the file has taken so far.
    uint64_t bytes_written() { return m_writer.written(); }

    // Writes everything and closes; false when a write or the close failed
    // (error() tells why).  Closing a closed file succeeds.
    bool close();
    // Closes (errors ignored) and removes the file this object created or
    // emptied, unless the path no longer names it.  False when nothing was
    // removed; error() is then set when the removal itself failed.
    bool remove();

private:
    char* reserve(std::size_t bytes);
    void hand_over();
    void encode(std::u16string_view text, bool double_quotes);

    text_encoder m_encoder;
    write_behind m_writer;
    char* m_buffer;         // the writer's buffer being filled
    std::size_t m_used = 0; // bytes of it filled
    int m_fd = -1;
    int m_error = 0;
    std::string m_native_path;
    file_identity m_identity;
};
