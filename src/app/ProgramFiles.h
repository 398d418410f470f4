#pragma once

#include <QString>

namespace varnet {

// The files the program ships with (the user guide). They stand beside the
// executable in a build or portable folder, and in the share folder of the
// installation (../share/varnet from bin) once installed.
class ProgramFiles {
  public:
    // The path of `name` for the executable in `executableDir`; empty when
    // it is in neither place.
    static QString find(const QString& executableDir, const QString& name);
};

}  // namespace varnet
