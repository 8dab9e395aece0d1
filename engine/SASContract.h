#pragma once

// What the component hands to SAS and relies on it for, in one place, so
// that the engine, the stand-in and the tests share the same texts.
namespace tamberlo::sas {

inline constexpr const char* FormCharStatement = "options formchar='|-++++++++++=|-/|<>*';";

// Between the quoted executable and " -config ".
inline constexpr const char* FixedOptions = " -nologo -$nostatuswin -noconfig -icon ";
inline constexpr const char* ConfigOption = " -config ";
inline constexpr const char* SysinOption = " -SYSIN ";
inline constexpr const char* PrintOption = " -PRINT ";
inline constexpr const char* LogOption = " -LOG ";

inline constexpr const char* ExecutableName = "SAS.EXE";
inline constexpr const char* DefaultConfigFileName = "sasv8.cfg";
// The standard installation folder, after a drive letter.
inline constexpr const char* StandardFolder = ":\\Program Files\\SAS Institute\\SAS\\V8\\";

// Temporary files of a run: prefixes and extensions.
inline constexpr const char* ProgramPrefix = "tmpSASProgram";
inline constexpr const char* ProgramExtension = ".sas";
inline constexpr const char* LogPrefix = "tmpSASLog";
inline constexpr const char* LogExtension = ".log";
inline constexpr const char* ListingPrefix = "tmpSASLst";
inline constexpr const char* ListingExtension = ".lst";
inline constexpr const char* PutFilePrefix = "tmpPutFile";
inline constexpr const char* PutFileExtension = ".put";

// Put-file filerefs are this prefix and a number from 1 to MaxPutFileNumber.
inline constexpr const char* PutFileKeyPrefix = "_PUT";
inline constexpr int MaxPutFileNumber = 9999;

inline constexpr const char* CrLf = "\r\n";

}  // namespace tamberlo::sas
