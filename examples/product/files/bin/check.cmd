@echo off
rem Post-install check: 0 when the configuration is in place, 3 when not.
if exist "%~dp0..\config\app.config" exit /b 0
exit /b 3
