// Why an export wrote no file, as the exporter tells its host: an export that answers 0 leaves
// the thread's last error (GetLastError) at the system error code for the reason its file could
// not be written. The host reads it back to word the reason.
#ifndef BRINDLARK_EXPORT_ERRORS_H
#define BRINDLARK_EXPORT_ERRORS_H

#include <windows.h>

#include <modelformat/output_stream.h>

namespace brindlark {

struct ExportErrorCode {
    modelformat::OutputError error;
    DWORD code;
};

// One code per reason, except that PermissionDenied and FolderNotWritable share Win32's
// ERROR_ACCESS_DENIED (a host tells them apart by looking at the path's folder).
constexpr ExportErrorCode kExportErrorCodes[] = {
    {modelformat::OutputError::None, ERROR_SUCCESS},
    {modelformat::OutputError::FolderMissing, ERROR_PATH_NOT_FOUND},
    {modelformat::OutputError::NotAFolder, ERROR_DIRECTORY},
    {modelformat::OutputError::IsAFolder, ERROR_DIRECTORY_NOT_SUPPORTED},
    {modelformat::OutputError::NotARegularFile, ERROR_BAD_FILE_TYPE},
    {modelformat::OutputError::ReadOnlyFile, ERROR_FILE_READ_ONLY},
    {modelformat::OutputError::PermissionDenied, ERROR_ACCESS_DENIED},
    {modelformat::OutputError::FolderNotWritable, ERROR_ACCESS_DENIED},
    {modelformat::OutputError::ReadOnlyFileSystem, ERROR_WRITE_PROTECT},
    {modelformat::OutputError::DiskFull, ERROR_DISK_FULL},
    {modelformat::OutputError::NameTooLong, ERROR_FILENAME_EXCED_RANGE},
    {modelformat::OutputError::TooLarge, ERROR_FILE_TOO_LARGE},
    {modelformat::OutputError::LinkLoop, ERROR_CANT_RESOLVE_FILENAME},
    {modelformat::OutputError::InputOutput, ERROR_WRITE_FAULT},
    {modelformat::OutputError::OutOfMemory, ERROR_NOT_ENOUGH_MEMORY},
    {modelformat::OutputError::Other, ERROR_GEN_FAILURE},
};

constexpr DWORD exportErrorCode(modelformat::OutputError error) {
    for (const ExportErrorCode& entry : kExportErrorCodes) {
        if (entry.error == error) {
            return entry.code;
        }
    }
    return ERROR_GEN_FAILURE;
}

// The reason of a code; the first listed where two share one. Other for a code not listed.
constexpr modelformat::OutputError exportErrorOf(DWORD code) {
    for (const ExportErrorCode& entry : kExportErrorCodes) {
        if (entry.code == code) {
            return entry.error;
        }
    }
    return modelformat::OutputError::Other;
}

}  // namespace brindlark

#endif
