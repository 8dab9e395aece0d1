#pragma once

#include <memory>
#include <string>

namespace tamberlo::reliability {

// What the soak drives once per run: a CodeRunner directly, or one through
// Tamberlo.dll.
class SoakTarget {
public:
    virtual ~SoakTarget() = default;
    // One run with put files, every result read, and the error paths taken
    // now and then. The empty text when the run checked out, else what failed.
    virtual std::string Run(int number) = 0;
};

// The program every soak run hands over, with its token.
std::string SoakProgram(const std::string& token);
// What its put files hold after the run, cleaned.
std::string SoakPutFileOne(const std::string& token);

#ifdef _WIN32
// Drives CodeRunner objects made by the class factory of the module at
// `dllPath`, through their vtable; every hundredth run releases the object
// and makes a new one.
std::unique_ptr<SoakTarget> MakeComSoakTarget(const std::string& dllPath, const std::string& sasRoot);
#endif

}  // namespace tamberlo::reliability
