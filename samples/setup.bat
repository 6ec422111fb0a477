@echo off
rem The setup step of the demo: run by the command interpreter in the unzip folder.
echo Setup ran in %CD%
echo Setup ran in %CD%> setup-ran.txt
