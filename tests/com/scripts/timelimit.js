// The time limit from JScript: the user's registry value stops a run that
// goes on too long, with error 1 and the log SAS had written.
var shell = new ActiveXObject("WScript.Shell");
var runner = new ActiveXObject("Tamberlo.CodeRunner");
shell.RegWrite("HKCU\\Software\\Tamberlo\\TimeLimit", 2, "REG_DWORD");
runner.SASCode = "data _null_; put 'before the pause'; call sleep(30); run;";
var started = new Date().getTime();
try {
    runner.Execute();
    WScript.Echo("no error");
} catch (e) {
    WScript.Echo((e.number & 0xFFFF) + " | " + e.description);
}
WScript.Echo("within a few seconds: " + (new Date().getTime() - started < 15000));
WScript.Echo("partial log kept: " + (runner.Log.indexOf("before the pause") >= 0));
shell.RegWrite("HKCU\\Software\\Tamberlo\\TimeLimit", 0, "REG_DWORD");
shell.Run("reg delete HKCU\\Software\\Tamberlo /v TimeLimit /f", 0, true);
