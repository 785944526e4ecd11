// A small JSON writer for plughost's --json output.
#ifndef HOST_PLUGHOST_JSON_WRITER_H
#define HOST_PLUGHOST_JSON_WRITER_H

#include <string>

namespace host {

// The text as a JSON string literal, quotes included.
std::string jsonString(const std::string& text);
// A number as JSON: finite values in shortest round-trip form, others as null.
std::string jsonNumber(double value);

}  // namespace host

#endif
