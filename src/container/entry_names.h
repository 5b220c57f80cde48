// The package entries looked up by name: the builder writes them, the engine and zq find them.
// Lookups ignore case; these spellings are the ones written.
#pragma once

namespace zq {

// The setup information record (TSetupInfoFile).
inline constexpr char kSetupInfoEntry[] = "SetupInfo";
// The compiled script (TCompLines); an uninstaller's package has none.
inline constexpr char kCompiledLinesEntry[] = "CompiledLines";
// The page list the wizard starts from; the layouts it names are entries of their own.
inline constexpr char kPageListEntry[] = "Pages.txt";
// Starts a language table's name; every such entry is loaded at start-up.
inline constexpr char kLanguagePrefix[] = "LANGUAGE-";
// Starts every entry meant for the uninstaller, which carries it under the rest of its name.
inline constexpr char kUninstallPrefix[] = "UNINSTALL_";
// The uninstaller's program icon: set on its file, never carried into its package.
inline constexpr char kUninstallIconEntry[] = "UNINSTALL_ICON.ICO";
// What the setup says of itself beyond its record and how its run behaves (RunOptions); absent:
// every option at its default.
inline constexpr char kRunOptionsEntry[] = "RunOptions.txt";
// Present when the package's text (entry names, script, setup record, page layouts) is UTF-8;
// without it the text is in the legacy code page (packages written before names could hold any
// character, and those whose text is all ASCII). It holds kTextEncodingUtf8.
inline constexpr char kTextEncodingEntry[] = "Encoding.txt";
inline constexpr char kTextEncodingUtf8[] = "UTF-8";
// A licence text ("license FILE"); one for a single language is this prefix, "-" and the
// language table's name.
inline constexpr char kLicenseEntry[] = "LICENSE";
// The finaliser an uninstaller starts at its end (the setup carries it with kUninstallPrefix).
inline constexpr char kFinaliserEntry[] = "FINALISE.EXE";

}  // namespace zq
