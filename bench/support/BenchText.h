#pragma once

#include <cstddef>
#include <string>

// Texts of the kinds the component handles, made up deterministically (the
// same bytes on every run), with CR LF line ends as SAS on Windows writes them.
namespace tamberlo::bench {

// An ordinary SAS program of `size` bytes: data steps, procedures, comments,
// macro variables, names with underscores (_null_, _n_, region_id, ...), and
// about every `putEvery`-th step writing to a put file _PUT1 ... _PUT40.
std::string MakeSasProgram(std::size_t size, int putEvery = 25);

// A SAS listing of `size` bytes: pages of 60 lines, each page starting with
// a form feed, tables of figures with a tab in about every eighth line.
std::string MakeListing(std::size_t size);

// A SAS log of `size` bytes: numbered source lines and NOTE lines, a form
// feed at every page of 60 lines, a tab now and then.
std::string MakeLog(std::size_t size);

// One line of data as a DATA step would PUT it, `size` bytes with its CR LF.
std::string MakeDataLines(std::size_t size);

}  // namespace tamberlo::bench
