// Replacing a file whole through a temporary file beside it, or in place
// when the folder allows no such file.
#include "support/whole_file.h"

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "platform/files.h"
#include "platform/paths.h"
#include "support/read_file.h"
#include "support/stop_cleanup.h"

namespace vantor {

namespace fs = std::filesystem;

namespace {

FileWrite failed(std::string why) { return {false, std::move(why)}; }

// Starts with the file's own name, so a person who finds one left by a
// killed run knows whose it is; the process ID and a count keep runs apart.
std::string temporaryName(const std::string& target) {
    static unsigned count = 0;
    return target + ".vantor-" + std::to_string(platform::processId()) + "-" + std::to_string(count++) +
           ".tmp";
}

int replaceRetrying(const std::string& from, const std::string& to) {
    using namespace std::chrono;
    const auto giveUp = steady_clock::now() + seconds(1);
    for (;;) {
        bool transient = false;
        const int error = platform::replaceFile(from, to, transient);
        if (error == 0 || !transient || steady_clock::now() >= giveUp) return error;
        std::this_thread::sleep_for(milliseconds(20));
    }
}

// The way for folders that take no temporary file. A failed write is taken
// back: a cut list would pass for a shorter one. The file is removed where
// we may (`mayRemove`), else left empty.
FileWrite writeInPlace(const std::string& target, const ContentPieces& content, bool mayRemove) {
    // A stop midway treats the file as a failed write would: a file we may
    // remove is named before the open may make it; one we may only empty,
    // once the open has emptied it.
    RemovedOnStop onStop;
    if (mayRemove) onStop.arm(target, OnStop::removeFile);
    platform::OutputFile file;
    fs::file_type kind = fs::file_type::none;
    if (const int error = platform::openExistingOrNew(target, file, kind); error != 0) {
        onStop.disarm();
        if (kind != fs::file_type::none) return failed("it is " + kindName(kind) + ", not a regular file");
        return failed(platform::errorText(error));
    }
    if (!mayRemove) onStop.arm(target, OnStop::emptyFile);
    int error = content([&file](std::string_view piece) { return file.write(piece); });
    if (error == 0) onStop.disarm();  // whole now
    if (error != 0) file.truncate();
    const int closed = file.close();
    if (error == 0) error = closed;
    if (error == 0) return {true, {}};
    std::error_code ec;
    fs::resize_file(platform::nativePath(target), 0, ec);
    if (mayRemove) fs::remove(platform::nativePath(target), ec);
    return failed(platform::errorText(error));
}

}  // namespace

std::string writeTarget(const std::string& path) {
    fs::path target = platform::nativePath(path);
    // As many links as the system follows; a longer chain is left for the open to refuse.
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(target, ec))) break;
        const fs::path link = fs::read_symlink(target, ec);
        if (ec) break;
        target = link.is_absolute() ? link : target.parent_path() / link;
    }
    return platform::utf8Path(target);
}

FileWrite writeWholeFile(const std::string& path, std::string_view content) {
    return writeWholeFile(path, [content](const PutPiece& put) { return put(content); });
}

FileWrite writeWholeFile(const std::string& path, const ContentPieces& content) {
    const std::string target = writeTarget(path);
    const platform::FileStatus status = platform::fileStatus(target);
    const bool existing = status.type != fs::file_type::not_found;
    if (existing && status.type == fs::file_type::none) return failed(platform::errorText(status.error));
    if (existing && status.type != fs::file_type::regular) {
        return failed("it is " + kindName(status.type) + ", not a regular file");
    }
    if (platform::nativePath(target).filename().empty()) return failed("the path names no file");
    // A file we could not write in place is not ours to replace either.
    if (existing && !platform::mayWrite(target)) {
        return failed(std::make_error_code(std::errc::permission_denied).message());
    }

    // Named for a stop before it is made; a name already taken carries this
    // process's ID, so it is a killed run's leftover at most.
    RemovedOnStop temporaryOnStop;
    platform::OutputFile temporary;
    std::string temporaryPath;
    int created = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporaryPath = temporaryName(target);
        temporaryOnStop.arm(temporaryPath, OnStop::removeFile);
        created = platform::createNew(temporaryPath, temporary);
        if (!platform::alreadyExists(created)) break;
    }
    if (created != 0) {
        temporaryOnStop.disarm();
        return writeInPlace(target, content, !existing);  // a file it made itself goes again
    }

    std::error_code ec;
    if (existing && status.permissions != fs::perms::unknown) {
        fs::permissions(platform::nativePath(temporaryPath), status.permissions & fs::perms::all, ec);
    }
    int error = content([&temporary](std::string_view piece) { return temporary.write(piece); });
    const int closed = temporary.close();
    if (error == 0) error = closed;
    if (error != 0) {
        fs::remove(platform::nativePath(temporaryPath), ec);
        // The folder let us make a file, so it lets us remove the stale one too.
        fs::remove(platform::nativePath(target), ec);
        return failed(platform::errorText(error));
    }
    if (replaceRetrying(temporaryPath, target) == 0) return {true, {}};
    fs::remove(platform::nativePath(temporaryPath), ec);
    temporaryOnStop.disarm();
    return writeInPlace(target, content, true);
}

}  // namespace vantor
