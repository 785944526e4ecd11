// The host SDK: everything a plug-in includes.
#ifndef MAXSDK_MAX_H
#define MAXSDK_MAX_H

#include <windows.h>

#include "impexp.h"
#include "imtl.h"
#include "inode.h"
#include "iparamb2.h"
#include "matrix3.h"
#include "maxapi.h"
#include "maxtypes.h"
#include "mesh.h"
#include "object.h"
#include "point3.h"
#include "utilexp.h"

#endif
