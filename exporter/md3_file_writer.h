// The exporter's entry into an export: the options of the module read once into an export run,
// the output stream, and what every export leaves behind whatever its result.
#ifndef BRINDLARK_MD3_FILE_WRITER_H
#define BRINDLARK_MD3_FILE_WRITER_H

#include <max.h>
#include <modelformat/output_stream.h>

class Md3FileWriter {
public:
    // Writes through the given stream instead of a file of its own (tests use failing streams).
    explicit Md3FileWriter(modelformat::TargetOutputStream* output = nullptr) : output_(output) {}

    // Exports the scene with the module's export options over their frame range. Answers 1 when
    // the export ran to its end or found nothing to export, 0 when the file could not be written
    // completely (nothing is then left at the path, and a file that was there before is kept;
    // the thread's last error, GetLastError, then holds the code of brindlark/export_errors.h
    // that says why).
    // The options' name lists are empty afterwards.
    int writeFile(const TCHAR* path, ExpInterface* exportContext, Interface* host, BOOL suppressPrompts, DWORD options);

private:
    modelformat::TargetOutputStream* output_;
};

#endif
