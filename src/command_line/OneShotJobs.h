// One-shot jobs that a command line can ask for instead of an acquisition:
// an image conversion (/image_in) and a raw-file strip (/r_in). The command-line
// parser only recognises them and hands the request to this interface.
#pragma once

#include <string>

struct ImageJobRequest {
    std::wstring inputPath, outputPath;
    int filterStrength = 0, filterLevel = 0, luminosity = 0, contrast = 0, gamma = 0;
};

struct RawStripRequest {
    std::wstring input, secondInput, output;
};

class IOneShotJobs {
public:
    virtual ~IOneShotJobs() = default;
    // Converts one picture with the given filter and tone settings.
    virtual void RunImageJob(const ImageJobRequest& request) = 0;
    // Strips one (or two joined) raw acquisition files into an output file.
    virtual void RunRawStrip(const RawStripRequest& request) = 0;
};
