#include "StandinTest.h"

namespace tamberlo::standin::test {
namespace {

using StandinPutFiles = StandinTest;

std::string FileNote(const std::string& label, const std::string& path, const std::string& written) {
    return "NOTE: The file " + label + " is:\r\n      Filename=" + path + ",\r\nNOTE: " + written +
           " written to the file " + label + ".\r\n";
}

TEST_F(StandinPutFiles, ModAppendsInEveryStepAndRun) {
    const std::string put = folder_ / "tmpPutFile1.put";
    Write(put, "old\r\n");
    const std::string program = "filename _PUT1 '" + put + "' mod;\n\n" +
                                "data _null_; file _PUT1; put 'x' 1; run;\n"
                                "data _null_; file _put1; put 'y'; put 'z'; run;\n";
    EXPECT_EQ(0, Run(program));
    EXPECT_EQ("old\r\nx 1\r\ny\r\nz\r\n", Read(put).value_or("<none>"));
    const std::string log = Read(log_).value_or("<no log>");
    EXPECT_NE(std::string::npos, log.find(FileNote("_PUT1", put, "1 record was")));
    EXPECT_NE(std::string::npos, log.find(FileNote("_PUT1", put, "2 records were")));

    EXPECT_EQ(0, Run(program));
    EXPECT_EQ("old\r\nx 1\r\ny\r\nz\r\nx 1\r\ny\r\nz\r\n", Read(put).value_or("<none>"));
}

TEST_F(StandinPutFiles, WithoutModEachStepReplacesTheFile) {
    const std::string put = folder_ / "plain.txt";
    Write(put, "old\r\n");
    EXPECT_EQ(0, Run("filename out '" + put + "';\ndata _null_; file out; put 'a'; put 'b'; run;\n"));
    EXPECT_EQ("a\r\nb\r\n", Read(put).value_or("<none>"));

    EXPECT_EQ(0, Run("filename out '" + put +
                     "';\n"
                     "data _null_; file out; put 'c'; run;\n"
                     "data _null_; file out; put 'd'; file log; put 'e'; file out; put 'f'; run;\n"));
    EXPECT_EQ("d\r\nf\r\n", Read(put).value_or("<none>"));
}

TEST_F(StandinPutFiles, DoubledQuoteInPathNamesAFileWithAQuote) {
    ScratchFolder quoted("it's here");
    const std::string put = quoted / "tmpPutFile7.put";
    std::string literal;
    for (char c : put) literal += c == '\'' ? std::string("''") : std::string(1, c);
    EXPECT_EQ(0, Run("filename _PUT7 '" + literal + "' mod;\ndata _null_; file _PUT7; put 'q'; run;\n"));
    EXPECT_EQ("q\r\n", Read(put).value_or("<none>"));
    EXPECT_NE(std::string::npos, Read(log_).value_or("").find(FileNote("_PUT7", put, "1 record was")));
}

TEST_F(StandinPutFiles, FileStatementTakesAQuotedPathAndMod) {
    const std::string put = folder_ / "direct.txt";
    Write(put, "kept\r\n");
    EXPECT_EQ(0, Run("data _null_; file '" + put + "' mod; put 'tab\there'; run;\n"));
    EXPECT_EQ("kept\r\ntab\there\r\n", Read(put).value_or("<none>"));
    EXPECT_NE(std::string::npos, Read(log_).value_or("").find(FileNote("\"" + put + "\"", put, "1 record was")));
}

TEST_F(StandinPutFiles, UnknownFilerefStopsTheWholeStep) {
    const std::string good = folder_ / "good.put";
    EXPECT_EQ(2, Run("filename good '" + good +
                     "';\n"
                     "data _null_; file good; put 'a'; file nope; put 'b'; file print; put 'c'; run;\n"));
    EXPECT_FALSE(Exists(good));
    EXPECT_FALSE(Exists(listing_));
    EXPECT_NE(std::string::npos, Read(log_).value_or("").find("\r\nERROR: No logical assign for filename NOPE.\r\n"
                                                              "NOTE: The SAS System stopped processing this step "
                                                              "because of errors.\r\n"));
}

TEST_F(StandinPutFiles, FileInMissingFolderIsAnError) {
    const std::string put = folder_ / "no-such-folder" + ScratchFolder::Separator + "x.put";
    EXPECT_EQ(2, Run("filename x '" + put + "' mod; data _null_; file x; put 'a'; put 'b'; run;"));
    EXPECT_NE(std::string::npos, Read(log_).value_or("").find("\r\nERROR: Physical file does not exist, " + put +
                                                              ".\r\nNOTE: The SAS System stopped processing"));
}

TEST_F(StandinPutFiles, BadFilenameStatementsAreReported) {
    EXPECT_EQ(2, Run("filename toolongname 'a.txt';\nfilename ok 'a.txt' append;\nfilename ok;\n"));
    const std::string log = Read(log_).value_or("<no log>");
    EXPECT_NE(std::string::npos, log.find("1          filename toolongname 'a.txt';\r\n"
                                          "ERROR: Invalid fileref name toolongname.\r\n"));
    EXPECT_NE(std::string::npos, log.find("2          filename ok 'a.txt' append;\r\n" + std::string(31, ' ') +
                                          "------\r\n" + std::string(31, ' ') +
                                          "23\r\n"
                                          "ERROR 23-2: Invalid option name APPEND.\r\n"));
    EXPECT_NE(std::string::npos,
              log.find("3          filename ok;\r\nWARNING: No logical assign for filename OK.\r\n"));
}

}  // namespace
}  // namespace tamberlo::standin::test
