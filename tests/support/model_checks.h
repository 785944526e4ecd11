// What every model a reader accepts must satisfy, whatever bytes it came from.
#ifndef TESTS_SUPPORT_MODEL_CHECKS_H
#define TESTS_SUPPORT_MODEL_CHECKS_H

#include "modelformat/md2_reader.h"
#include "modelformat/md3_reader.h"

namespace testmodels {

void expectConsistent(const modelformat::Md3Model& model);
void expectConsistent(const modelformat::Md2Model& model);

}  // namespace testmodels

#endif
