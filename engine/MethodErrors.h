#pragma once

// The component's own errors, raised by its methods rather than by the file
// system or the collection: number 1, and as source the method the client
// called.
namespace tamberlo {

inline constexpr long ComponentErrorNumber = 1;
inline constexpr const char* SASCodeSource = "SASCode method";
inline constexpr const char* ExecuteSource = "Execute method";

}  // namespace tamberlo
