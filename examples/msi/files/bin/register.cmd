@echo off
rem Stores the licence key the setup hands over as the first argument.
> "%~dp0..\license.txt" echo %~1
