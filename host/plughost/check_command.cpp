// plughost check: an MD3 or MD2 file read on its own and reported in plain words: its
// structure, and every place where it breaks the format or what the games accept; or a player
// folder (player_check.h).
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include <modelformat/byte_reader.h>
#include <modelformat/model_limits.h>

#include "json_writer.h"
#include "player_check.h"
#include "session.h"

namespace host {

namespace {

struct Report {
    std::string format;              // "MD3", "MD2" or "unknown"
    std::string error;               // why the file does not read; empty when it does
    std::vector<std::string> lines;  // the structure, in plain words
    std::string structureJson;       // the same for --json (members without braces)
    std::vector<modelformat::LimitBreach> breaches;
    std::vector<modelformat::GameFault> faults;  // values the game cannot use
    std::vector<std::string> warnings;           // worth knowing; the file still passes
};

// A refusal as the check prints it: where in the file, then why.
std::string atByte(size_t offset, const std::string& message) {
    return "at byte " + std::to_string(offset) + ": " + message;
}

Report checkMd3(const std::vector<uint8_t>& bytes) {
    Report report;
    report.format = "MD3";
    const modelformat::Md3ReadResult read = modelformat::readMd3(bytes);
    if (!read.ok) {
        report.error = atByte(read.offset, read.message);
        return report;
    }
    const modelformat::Md3Model& model = read.model;
    report.lines.push_back(counted(model.header.frameCount, "frame") + ", " + counted(model.header.tagCount, "tag") +
                           ", " + counted(model.header.surfaceCount, "surface") + ", " +
                           counted(static_cast<long long>(bytes.size()), "byte"));
    std::string tagsJson;
    for (int32_t t = 0; t < model.header.tagCount && model.header.frameCount > 0; ++t) {
        report.lines.push_back("tag " + model.tag(0, t).name);
        tagsJson += (t == 0 ? "" : ", ") + jsonString(model.tag(0, t).name);
    }
    std::string surfacesJson;
    for (size_t s = 0; s < model.surfaces.size(); ++s) {
        const modelformat::Md3Surface& surface = model.surfaces[s];
        std::string line = "surface " + surface.header.name + ": " + std::to_string(surface.header.vertexCount) +
                           (surface.header.vertexCount == 1 ? " vertex, " : " vertices, ") +
                           counted(surface.header.triangleCount, "triangle");
        std::string shadersJson;
        for (size_t k = 0; k < surface.shaders.size(); ++k) {
            line += (k == 0 ? ", shader " : ", ") + surface.shaders[k].name;
            shadersJson += (k == 0 ? "" : ", ") + jsonString(surface.shaders[k].name);
        }
        report.lines.push_back(line);
        surfacesJson += std::string(s == 0 ? "" : ", ") + "{\"name\": " + jsonString(surface.header.name) +
                        ", \"vertices\": " + std::to_string(surface.header.vertexCount) +
                        ", \"triangles\": " + std::to_string(surface.header.triangleCount) + ", \"shaders\": [" +
                        shadersJson + "]}";
    }
    report.structureJson = "\"frames\": " + std::to_string(model.header.frameCount) + ", \"tags\": [" + tagsJson +
                           "], \"surfaces\": [" + surfacesJson + "]";
    report.breaches = modelformat::checkMd3Limits(model);
    report.faults = modelformat::findMd3GameFaults(model);
    for (const modelformat::Md3Surface& surface : model.surfaces) {
        if (surface.shaders.empty()) {
            report.warnings.push_back("surface " + surface.header.name +
                                      " has no shader: the game draws it untextured unless a .skin names one");
        }
    }
    return report;
}

Report checkMd2(const std::vector<uint8_t>& bytes) {
    Report report;
    report.format = "MD2";
    const modelformat::Md2ReadResult read = modelformat::readMd2(bytes, 0);
    if (!read.ok) {
        report.error = atByte(read.offset, read.message);
        return report;
    }
    const modelformat::Md2Header& header = read.model.header;
    report.lines.push_back(
        counted(header.numFrames, "frame") + ", " + std::to_string(header.numVertices) +
        (header.numVertices == 1 ? " vertex, " : " vertices, ") + counted(header.numTriangles, "triangle") + ", " +
        counted(header.numTexCoords, "texture coordinate") + ", skin " + std::to_string(header.skinWidth) + " x " +
        std::to_string(header.skinHeight) + ", " + counted(static_cast<long long>(bytes.size()), "byte"));
    report.structureJson = "\"frames\": " + std::to_string(header.numFrames) +
                           ", \"vertices\": " + std::to_string(header.numVertices) +
                           ", \"triangles\": " + std::to_string(header.numTriangles) +
                           ", \"textureCoordinates\": " + std::to_string(header.numTexCoords) + ", \"skin\": [" +
                           std::to_string(header.skinWidth) + ", " + std::to_string(header.skinHeight) + "]";
    report.breaches = modelformat::checkMd2Limits(read.model);
    report.faults = modelformat::findMd2GameFaults(bytes.data(), bytes.size(), read.model);
    return report;
}

std::string jsonStrings(const std::vector<std::string>& texts) {
    std::string list;
    for (const std::string& text : texts) {
        list += (list.empty() ? "" : ", ") + jsonString(text);
    }
    return "[" + list + "]";
}

int checkFolder(const CheckRequest& request) {
    const PlayerFolderReport report = checkPlayerFolder(request.input);
    const bool passes = report.problems.empty();
    if (request.json) {
        std::printf("{\"folder\": %s, \"passes\": %s, \"summary\": %s, \"problems\": %s, \"warnings\": %s}\n",
                    jsonString(request.input).c_str(), passes ? "true" : "false", jsonStrings(report.summary).c_str(),
                    jsonStrings(report.problems).c_str(), jsonStrings(report.warnings).c_str());
    } else {
        std::printf("%s: player folder\n", request.input.c_str());
        for (const std::string& line : report.summary) {
            std::printf("  %s\n", line.c_str());
        }
        for (const std::string& line : report.problems) {
            std::printf("  %s\n", line.c_str());
        }
        for (const std::string& line : report.warnings) {
            std::printf("  warning: %s\n", line.c_str());
        }
        std::printf("  %s\n", passes ? "passes" : "does not pass");
    }
    return passes ? kExitOk : kExitFailed;
}

}  // namespace

int runCheck(const CommonOptions& /*common*/, const CheckRequest& request) {
    const std::string& input = request.input;
    const bool json = request.json;
    struct stat info {};
    if (stat(input.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        return checkFolder(request);
    }
    if (!inputOpens("check", "", input)) {
        return kExitUsage;
    }
    std::FILE* file = std::fopen(input.c_str(), "rb");
    if (file == nullptr) {
        std::fprintf(stderr, "plughost check: cannot open '%s'\n", input.c_str());
        return kExitUsage;
    }
    std::vector<uint8_t> bytes;
    const modelformat::ReadError readError =
        modelformat::readFileBytes(file, modelformat::FileReadStart::FileStart, bytes);
    std::fclose(file);
    if (readError != modelformat::ReadError::None) {
        std::fprintf(stderr, "plughost check: cannot read '%s' (%s)\n", input.c_str(),
                     modelformat::readErrorName(readError));
        return kExitUsage;
    }

    Report report;
    const auto magicIs = [&bytes](const char* magic) {
        return bytes.size() >= 4 && std::equal(magic, magic + 4, bytes.begin());
    };
    if (magicIs("IDP3")) {
        report = checkMd3(bytes);
    } else if (magicIs("IDP2")) {
        report = checkMd2(bytes);
    } else {
        report.format = "unknown";
        report.error = "not an MD3 or MD2 file: it does not start with \"IDP3\" or \"IDP2\"";
    }
    const bool passes = report.error.empty() && report.breaches.empty() && report.faults.empty();

    if (json) {
        std::string problems;
        for (const modelformat::LimitBreach& breach : report.breaches) {
            problems += std::string(problems.empty() ? "" : ", ") + "{\"where\": " + jsonString(breach.where) +
                        ", \"message\": " + jsonString(breach.message) + "}";
        }
        for (const modelformat::GameFault& fault : report.faults) {
            problems += std::string(problems.empty() ? "" : ", ") + "{\"where\": " + jsonString(fault.where) +
                        ", \"message\": " + jsonString(fault.message) +
                        ", \"offset\": " + std::to_string(fault.offset) + "}";
        }
        std::printf(
            "{\"file\": %s, \"format\": %s, \"passes\": %s, \"error\": %s%s%s, \"problems\": [%s], \"warnings\": %s}\n",
            jsonString(input).c_str(), jsonString(report.format).c_str(), passes ? "true" : "false",
            report.error.empty() ? "null" : jsonString(report.error).c_str(), report.structureJson.empty() ? "" : ", ",
            report.structureJson.c_str(), problems.c_str(), jsonStrings(report.warnings).c_str());
    } else {
        std::printf("%s: %s\n", input.c_str(),
                    report.format == "unknown" ? "unknown format" : (report.format + " model").c_str());
        for (const std::string& line : report.lines) {
            std::printf("  %s\n", line.c_str());
        }
        if (!report.error.empty()) {
            std::printf("  breaks the format: %s\n", report.error.c_str());
        }
        for (const modelformat::LimitBreach& breach : report.breaches) {
            std::printf("  over a limit: %s: %s\n", breach.where.c_str(), breach.message.c_str());
        }
        for (const modelformat::GameFault& fault : report.faults) {
            std::printf("  the game cannot use it: %s: %s\n", fault.where.c_str(),
                        atByte(fault.offset, fault.message).c_str());
        }
        for (const std::string& warning : report.warnings) {
            std::printf("  warning: %s\n", warning.c_str());
        }
        std::printf("  %s\n", passes ? "passes" : "does not pass");
    }
    return passes ? kExitOk : kExitFailed;
}

}  // namespace host
