// The exporter's entry into an export: one export run over the module's options, written to a
// file of its own or to the caller's stream.
#include "md3_file_writer.h"

#include <new>
#include <string>

#include <brindlark/export_errors.h>

#include "export_options.h"
#include "md3_export_run.h"

int Md3FileWriter::writeFile(const TCHAR* path, ExpInterface* exportContext, Interface* /*host*/, BOOL suppressPrompts,
                             DWORD options) {
    exportOptions.selectedOnly = static_cast<int32_t>(options & 1u);
    int result = 0;
    modelformat::OutputError failure = modelformat::OutputError::None;
    {
        // The export's own file, removed when it goes unless the export committed it.
        modelformat::FileOutputStream fileOutput;
        modelformat::TargetOutputStream& output = output_ != nullptr ? *output_ : fileOutput;
        try {
            Md3ExportRun run(exportOptions, exportContext != nullptr ? exportContext->theScene : nullptr, output);
            result = run.execute(path != nullptr ? path : "", suppressPrompts != FALSE);
            failure = run.failure();
        } catch (const std::bad_alloc&) {
            result = 0;
            failure = modelformat::OutputError::OutOfMemory;
        }
        if (result == 0) {
            output.abandon();
        }
    }
    // The lists are typed anew in the dialog for every export.
    exportOptions.namePrefixes.clear();
    exportOptions.tagNames.clear();
    if (result == 0) {
        // Last, after the progress window's calls: the host reads why from here.
        SetLastError(brindlark::exportErrorCode(
            failure != modelformat::OutputError::None ? failure : modelformat::OutputError::Other));
    }
    return result;
}
