@echo off
echo Verrand Demo Notes 2.4.0
