// A JScript client doing what a user does: a stored program and program
// text, a run against the installed stand-in found by the default search,
// then log, listing, put files and Reset.
function show(text) {
    return String(text).replace(/\r/g, "\\r").replace(/\n/g, "\\n").replace(/\f/g, "\\f");
}

var fso = new ActiveXObject("Scripting.FileSystemObject");
var runner = new ActiveXObject("Tamberlo.CodeRunner");
WScript.Echo("switches: " + runner.CleanOutput + " " + runner.SafeFormChar);

runner.SASCode = "hello.SAS";
runner.SASCode = "%put hello from jscript;";
runner.SASCode = "data _null_; file print; put 'listed by jscript'; run;";
WScript.Echo("program: " + show(runner.SASCode));

WScript.Echo("status: " + runner.Execute());
WScript.Echo("log has the put line: " + (runner.Log.indexOf("\r\nhello from jscript\r\n") >= 0));
WScript.Echo("listing starts: " + show(runner.Lst.substr(0, 3)));
WScript.Echo("put 1: " + show(runner.PutFile(1)));
WScript.Echo("put 2: " + show(runner.PutFile(2, false)));
var path = runner.PutFile(2, true);
WScript.Echo("put 2 path: " + fso.GetFileName(path).replace(/_\d+_\d+\.put$/, "_<stamp>_<random>.put") +
             ", exists " + fso.FileExists(path));

runner.SafeFormChar = false;
runner.CleanOutput = false;
WScript.Echo("switches now: " + runner.CleanOutput + " " + runner.SafeFormChar);
WScript.Echo("raw listing starts: " + show(runner.Lst.substr(0, 1)));
var report = runner.DebugInfo;
WScript.Echo("report tail: " + show(report.substr(report.indexOf("CleanOutput\r\n"))));

runner.Reset();
WScript.Echo("after Reset: [" + runner.SASCode + "] [" + runner.Log + "] " + runner.CleanOutput + " " +
             runner.SafeFormChar + ", put file exists " + fso.FileExists(path));
WScript.Echo("done");
