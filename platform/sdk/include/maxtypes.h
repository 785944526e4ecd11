// Basic host SDK types: time, class identities, superclass identifiers, version word.
#ifndef MAXSDK_MAXTYPES_H
#define MAXSDK_MAXTYPES_H

#include <windows.h>

#if defined(MAXSDK_BUILD)
#define MAXSDK_API __attribute__((visibility("default")))
#else
#define MAXSDK_API
#endif

// Host time: a signed count of ticks, 4800 to the second.
typedef int TimeValue;
#define TIME_TICKSPERSEC 4800

typedef ULONG SClass_ID;

// Superclass identifiers of the plug-in kinds the host knows.
#define SCENE_IMPORT_CLASS_ID 0xA10
#define SCENE_EXPORT_CLASS_ID 0xA20
#define GEOMOBJECT_CLASS_ID 0x000010
#define TEXMAP_CLASS_ID 0xC10
#define MATERIAL_CLASS_ID 0xC00

// The version word a plug-in answers from LibVersion: release in bits 16-31, API number in
// bits 8-15, SDK revision in bits 0-7. A loader refuses modules built for another version.
#define MAX_RELEASE 3000
#define MAX_API_NUM 7
#define MAX_SDK_REV 0
#define VERSION_3DSMAX ((MAX_RELEASE << 16) + (MAX_API_NUM << 8) + MAX_SDK_REV)

// A span of host time [start, end].
class MAXSDK_API Interval {
public:
    Interval(TimeValue start, TimeValue end) : start_(start), end_(end) {}
    Interval() : start_(0), end_(0) {}
    TimeValue Start() const { return start_; }
    TimeValue End() const { return end_; }
    void Set(TimeValue start, TimeValue end) {
        start_ = start;
        end_ = end;
    }

private:
    TimeValue start_;
    TimeValue end_;
};

// A class's identity: two 32-bit words.
class MAXSDK_API Class_ID {
public:
    Class_ID() : a_(0xFFFFFFFF), b_(0xFFFFFFFF) {}
    Class_ID(ULONG a, ULONG b) : a_(a), b_(b) {}
    ULONG PartA() const { return a_; }
    ULONG PartB() const { return b_; }
    bool operator==(const Class_ID& other) const { return a_ == other.a_ && b_ == other.b_; }
    bool operator!=(const Class_ID& other) const { return !(*this == other); }

private:
    ULONG a_;
    ULONG b_;
};

#define TRIOBJ_CLASS_ID 0x0009
#define BMTEX_CLASS_ID 0x0240

// Ticks per frame follow the scene's frame rate. One clock per process, shared by the host and
// every plug-in.
MAXSDK_API int GetTicksPerFrame();
MAXSDK_API void SetTicksPerFrame(int ticks);
MAXSDK_API int GetFrameRate();
MAXSDK_API void SetFrameRate(int framesPerSecond);

#endif
