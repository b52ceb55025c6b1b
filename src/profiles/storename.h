#pragma once

#include <QString>

// The company component of the settings store, shared by every Norvesta program.
inline constexpr char StoreOrganization[] = "Norvesta";

// The application component of the settings store for an executable: its file
// name without a ".exe" extension and without a trailing "-cli". The window
// "quorvel" and the command-line companion "quorvel-cli" therefore share the
// store "quorvel", while a copy under another name ("quorvel-test",
// "q2-cli") keeps a store of its own.
QString storeApplicationName(const QString& executablePath);

// storeApplicationName() for the running program, taken from argv[0] so that a
// link under another name counts as another executable.
QString currentStoreApplicationName();
