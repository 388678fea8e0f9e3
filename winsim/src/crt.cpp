// winsim: the Windows C runtime's file streams, _unlink and malloc on the
// simulated machine.
#include <winsim/crt.h>
#include <io.h>

#include "winsim_internal.h"
#include "machine_state.h"
#include "paths.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

// The Windows C runtime's mapping of system errors to errno (_dosmaperr).
int errno_for(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return EACCES;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
        return ENOSPC;
    default:
        return EINVAL;
    }
}

// The Windows C runtime's stream buffer: a stream reaches the file in
// pieces of this size, and the last piece only when it is closed.
const size_t STREAM_BUFFER_SIZE = 4096;

struct Stream {
    std::string windows_path;
    std::string host;
    bool text = true;
    bool writing = false;
    std::string data; // reading: the bytes as the program sees them
    size_t position = 0;
    FILE *out = nullptr; // writing: the host file
    char buffer[STREAM_BUFFER_SIZE];
};

// Text-mode reading: CR LF becomes LF, a lone CR stays, Ctrl-Z ends the file.
std::string text_mode_view(const std::string &bytes)
{
    std::string view;
    view.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); i++) {
        char c = bytes[i];
        if (c == '\x1a')
            break;
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        view += c;
    }
    return view;
}

ssize_t stream_read(void *cookie, char *buffer, size_t size)
{
    Stream *stream = static_cast<Stream *>(cookie);
    the_machine().progress++;
    size_t left = stream->data.size() - stream->position;
    size_t count = size < left ? size : left;
    std::memcpy(buffer, stream->data.data() + stream->position, count);
    stream->position += count;
    return static_cast<ssize_t>(count);
}

// The runtime's _write: the buffered bytes go to the file in one WriteFile
// call, journaled under that name (a test can make it fail, a full disk
// with ERROR_DISK_FULL). A failed WriteFile writes nothing; the runtime
// then sets errno from the error, and the stream's fputs, fwrite or fclose
// that flushed the buffer fails. The last error stays as WriteFile left it.
// (A cookie stream's write tells an error by writing 0 bytes.)
ssize_t stream_write(void *cookie, const char *buffer, size_t size)
{
    Stream *stream = static_cast<Stream *>(cookie);
    Call call("WriteFile", describe("%s, %zu", quoted(stream->windows_path.c_str()).c_str(), size));
    if (call.faulted()) {
        errno = errno_for(call.fault_error());
        return call.fail_injected(static_cast<ssize_t>(0));
    }
    for (size_t i = 0; i < size; i++) {
        if (stream->text && buffer[i] == '\n')
            std::fputc('\r', stream->out);
        std::fputc(buffer[i], stream->out);
    }
    if (std::ferror(stream->out))
        return call.fail(static_cast<ssize_t>(0), ERROR_WRITE_FAULT);
    return call.done(static_cast<ssize_t>(size));
}

int stream_close(void *cookie)
{
    Stream *stream = static_cast<Stream *>(cookie);
    int result = 0;
    if (stream->out != nullptr)
        result = std::fclose(stream->out);
    {
        std::lock_guard<std::recursive_mutex> hold(the_machine().lock);
        if (--the_machine().open_files[stream->host] == 0)
            the_machine().open_files.erase(stream->host);
    }
    delete stream;
    return result;
}

FILE *fail_open(Call &call, DWORD error)
{
    errno = errno_for(error);
    return call.fail(static_cast<FILE *>(nullptr), error);
}

} // namespace

extern "C" FILE *winsim_fopen(const char *filename, const char *mode)
{
    Call call("fopen", describe("%s, %s", quoted(filename).c_str(), quoted(mode).c_str()));
    if (call.faulted())
        return fail_open(call, call.fault_error());
    char kind = mode[0];
    if ((kind != 'r' && kind != 'w' && kind != 'a') || std::strchr(mode, '+') != nullptr) {
        std::fprintf(stderr, "winsim: fopen mode \"%s\" is not modelled\n", mode);
        std::abort();
    }
    ResolvedPath path = winsim::resolve_path(filename);
    if (path.error != 0)
        return fail_open(call, path.error);
    if (path.is_directory)
        return fail_open(call, ERROR_ACCESS_DENIED);
    if (kind == 'r' && !path.exists)
        return fail_open(call, path.parent_exists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    if (kind != 'r' && !path.parent_exists)
        return fail_open(call, ERROR_PATH_NOT_FOUND);
    if (kind != 'r' && winsim::is_read_only(path))
        return fail_open(call, ERROR_ACCESS_DENIED);

    Stream *stream = new Stream;
    stream->windows_path = filename;
    stream->host = path.host;
    stream->text = std::strchr(mode, 'b') == nullptr;
    stream->writing = kind != 'r';
    cookie_io_functions_t functions = {};
    functions.close = stream_close;
    if (stream->writing) {
        stream->out = std::fopen(path.host.c_str(), kind == 'w' ? "wb" : "ab");
        if (stream->out == nullptr) {
            delete stream;
            return fail_open(call, ERROR_ACCESS_DENIED);
        }
        functions.write = stream_write;
    } else {
        std::ifstream in(path.host, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        stream->data = stream->text ? text_mode_view(bytes.str()) : bytes.str();
        functions.read = stream_read;
    }
    {
        std::lock_guard<std::recursive_mutex> hold(the_machine().lock);
        the_machine().open_files[stream->host]++;
    }
    FILE *file = fopencookie(stream, stream->writing ? (kind == 'w' ? "w" : "a") : "r", functions);
    if (file != nullptr && stream->writing)
        setvbuf(file, stream->buffer, _IOFBF, STREAM_BUFFER_SIZE);
    return call.done(file);
}

extern "C" int _unlink(const char *filename)
{
    Call call(__func__, quoted(filename));
    DWORD error = call.fault_error();
    ResolvedPath path = winsim::resolve_path(filename);
    if (error == 0)
        error = path.error;
    if (error == 0 && !path.exists)
        error = path.parent_exists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    if (error == 0 && (path.is_directory || winsim::is_read_only(path) || winsim::is_running_image(path)))
        error = ERROR_ACCESS_DENIED;
    if (error == 0 && winsim::is_open(path))
        error = ERROR_SHARING_VIOLATION;
    if (error != 0) {
        errno = errno_for(error);
        return call.fail(-1, error);
    }
    std::remove(path.host.c_str());
    {
        std::lock_guard<std::recursive_mutex> hold(the_machine().lock);
        the_machine().attributes.erase(path.host);
    }
    return call.done(0);
}

// A write that fputs makes fails as stream_write's does: EOF, errno and the
// last error set from the error, nothing of the text written.
extern "C" int winsim_fputs(const char *text, FILE *stream)
{
    Call call("fputs", describe("%s", quoted(text).c_str()));
    if (call.faulted()) {
        errno = errno_for(call.fault_error());
        return call.fail_injected(EOF);
    }
    return call.done(std::fputs(text, stream));
}

// msvcrt's: a text of count bytes or more is cut to count bytes with no
// terminator, and the answer is then -1 (count itself when it fits exactly).
extern "C" int _vsnprintf(char *buffer, size_t count, const char *format, va_list arguments)
{
    va_list measure;
    va_copy(measure, arguments);
    int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 0)
        return -1;
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(&text[0], text.size(), format, arguments);
    size_t whole = static_cast<size_t>(length);
    std::memcpy(buffer, text.data(), whole < count ? whole + 1 : count);
    return whole <= count ? length : -1;
}

extern "C" void *winsim_malloc(size_t size)
{
    Call call("malloc", describe("%zu", size));
    if (call.faulted()) {
        errno = ENOMEM;
        return call.fail_injected(static_cast<void *>(nullptr));
    }
    return call.done(std::malloc(size));
}

namespace winsim {

int open_stream_count()
{
    std::lock_guard<std::recursive_mutex> hold(the_machine().lock);
    int count = 0;
    for (const auto &file : the_machine().open_files)
        count += file.second;
    return count;
}

} // namespace winsim
