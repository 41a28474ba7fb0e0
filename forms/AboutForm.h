#pragma once
// The gang programmer's About box.
#include "forms/Controls.h"

struct TAboutForm : TForm {
    TLabel ProductName;
    TLabel Version;
    TImage ProgramIcon;
    TButton OKButton;

    TAboutForm() {
        Caption = "About";
        Width = 298;
        Height = 170;
        Position = TFormPosition::DesktopCenter;
        Resizable = false;
        MinimizeBox = false;
        MaximizeBox = false;
        ProgramIcon.Left = 16;
        ProgramIcon.Top = 16;
        ProgramIcon.Width = 64;
        ProgramIcon.Height = 64;
        ProgramIcon.Picture = "about";
        ProgramIcon.Stretch = true;
        ProductName.Caption = "Pelmor200VLT Programmer";
        ProductName.Left = 96;
        ProductName.Top = 24;
        Version.Caption = "Version V1.8";
        Version.Left = 96;
        Version.Top = 52;
        OKButton.Caption = "OK";
        OKButton.Left = 110;
        OKButton.Top = 100;
        OKButton.Width = 75;
        OKButton.Height = 25;
    }
};
