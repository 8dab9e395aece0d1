#pragma once

// What the component hands to SAS and relies on it for, in one place, so
// that the engine and its tests share the same texts. The stand-in
// (tools/sas-standin) includes nothing of this: it keeps SAS's side of the
// contract on its own, written from SAS's rules, so that a fault here cannot
// be copied into what the engine is tested against.
namespace tamberlo::sas {

inline constexpr const char* FormCharStatement = "options formchar='|-++++++++++=|-/|<>*';";

// The build drives the SAS of its own platform: SAS for Windows (SAS.EXE)
// in the Windows build, SAS for UNIX (sas) everywhere else. Only these texts
// differ; the rest of the contract is shared.
#ifdef _WIN32
// Between the quoted executable and " -config ".
inline constexpr const char* FixedOptions = " -nologo -$nostatuswin -noconfig -icon ";
inline constexpr const char* ExecutableName = "SAS.EXE";
inline constexpr const char* DefaultConfigFileName = "sasv8.cfg";
// The standard installation folder, after a drive letter.
inline constexpr const char* StandardFolders[] = {":\\Program Files\\SAS Institute\\SAS\\V8\\"};
inline constexpr const char* NotFoundDescription =
    "The SAS executable (SAS.EXE) could be found in <drive>:\\Program Files\\SAS Institute\\SAS\\V8\\, "
    "where <drive> is C, D, E, ..., Z.\r\n\r\nSupply the location of SAS.EXE to the Execute method.";
// SAS for Windows runs without a console: there is nothing to capture.
inline constexpr bool CapturesConsole = false;
// Options from the environment are SAS for UNIX's.
inline constexpr bool ReadsOptionsVariable = false;
#else
// SAS for UNIX refuses to start with an option it does not know, so only its
// own batch options are passed.
inline constexpr const char* FixedOptions = " -nologo -noterminal ";
inline constexpr const char* ExecutableName = "sas";
inline constexpr const char* DefaultConfigFileName = "sasv9.cfg";
// Searched in this order, after the folder of the sas found on PATH.
inline constexpr const char* StandardFolders[] = {
    "/usr/local/SASHome/SASFoundation/9.4/", "/opt/sas/SASHome/SASFoundation/9.4/", "/opt/SASHome/SASFoundation/9.4/"};
inline constexpr const char* NotFoundDescription =
    "The SAS executable (sas) could not be found on PATH or in /usr/local/SASHome/SASFoundation/9.4/, "
    "/opt/sas/SASHome/SASFoundation/9.4/ or /opt/SASHome/SASFoundation/9.4/.\r\n\r\n"
    "Supply the location of sas to the Execute method.";
// SAS for UNIX writes the errors that come before its log is open (an
// unknown option, a configuration file it cannot use) to its standard output
// and error: a run keeps them apart from the caller's own streams.
inline constexpr bool CapturesConsole = true;
// SAS for UNIX also takes options from this environment variable, after its
// configuration file.
inline constexpr bool ReadsOptionsVariable = true;
#endif
inline constexpr const char* OptionsVariable = "SASV9_OPTIONS";
// Added to the command line only when the session encoding was set
// explicitly, so that SAS runs in the encoding Tamberlo writes and reads.
inline constexpr const char* EncodingOption = " -ENCODING ";
inline constexpr const char* ConfigOption = " -config ";
inline constexpr const char* SysinOption = " -SYSIN ";
inline constexpr const char* PrintOption = " -PRINT ";
inline constexpr const char* LogOption = " -LOG ";
// The run's parameters, after the options above; each takes a quoted value
// (-SET a name first).
inline constexpr const char* SysparmOption = " -SYSPARM ";
inline constexpr const char* SetOption = " -SET ";
inline constexpr const char* AutoexecOption = " -AUTOEXEC ";
// A macro variable's value travels as the environment value of this prefix
// and its name, which a %LET ahead of the program reads with %QSYSFUNC.
inline constexpr const char* MacroCarrierPrefix = "TAMBERLO_LET_";

// Temporary files of a run: prefixes and extensions.
inline constexpr const char* ProgramPrefix = "tmpSASProgram";
inline constexpr const char* ProgramExtension = ".sas";
inline constexpr const char* LogPrefix = "tmpSASLog";
inline constexpr const char* LogExtension = ".log";
inline constexpr const char* ListingPrefix = "tmpSASLst";
inline constexpr const char* ListingExtension = ".lst";
inline constexpr const char* PutFilePrefix = "tmpPutFile";
inline constexpr const char* PutFileExtension = ".put";
inline constexpr const char* ConsolePrefix = "tmpSASConsole";
inline constexpr const char* ConsoleExtension = ".txt";

// Put-file filerefs are this prefix and a number from 1 to MaxPutFileNumber.
inline constexpr const char* PutFileKeyPrefix = "_PUT";
inline constexpr int MaxPutFileNumber = 9999;

inline constexpr const char* CrLf = "\r\n";

}  // namespace tamberlo::sas
