@echo off
rem Runs Lumidial's end-to-end tests on this machine: see README.txt.
rem   run-tests.cmd [/installer] [/filter:PATTERN] [/timeout:MINUTES]
rem The runner does the work; it is handed cmd's command line, from which it
rem tells a double-click (the window then waits for a key at the end) from
rem a prompt. Only that one line expands with "!" (a path may hold "!").
setlocal EnableDelayedExpansion
set "LUMIDIAL_CMDLINE=!CMDCMDLINE!"
setlocal DisableDelayedExpansion
"%~dp0bin\lumidial_run_tests.exe" %*
exit /b %ERRORLEVEL%
