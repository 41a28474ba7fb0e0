#pragma once
// The small chip selection window and its popup menu of chip models. The
// item handlers live with the chip catalogue; this is the window's state.
#include "forms/Controls.h"

struct TChipSeltForm : TForm {
    TLabel Label1;
    TPopupMenu PopupMenuXF;
    TMenuItem Vt71151, Vt71171, Vt71271, Vt71251, Vt71291, Vt71292F1, VT71121, Vt71141, Vt71221, Vt71241,
        Vt71311;

    TChipSeltForm() {
        Caption = "Chip Selection";
        Width = 139;
        Height = 64;
        ClientSized = true;
        Resizable = false;
        MinimizeBox = false;
        MaximizeBox = false;
        Label1.Caption = "点击选择芯片.....";
        Label1.Left = 8;
        Label1.Top = 8;
        PopupMenuXF.AutoHotkeys = false;
        struct Row {
            TMenuItem *item;
            const char *caption;
            int tag;
            bool shown;
        };
        const Row rows[] = {
            {&Vt71151, "Vt7115", 2, true},  {&Vt71171, "Vt7117", 16, true},
            {&Vt71271, "Vt7127", 17, true}, {&Vt71251, "Vt7125", 5, true},
            {&Vt71291, "Vt7129", 6, true},  {&Vt71292F1, "Vt7129-2F", 6, false},
            {&VT71121, "Vt7112", 0, false}, {&Vt71141, "Vt7114", 1, false},
            {&Vt71221, "Vt7122", 3, false}, {&Vt71241, "Vt7124", 4, false},
            {&Vt71311, "Vt7131", 32, true},
        };
        for (const auto &r : rows) {
            r.item->Caption = r.caption;
            r.item->Tag = r.tag;
            r.item->Visible = r.shown;
            PopupMenuXF.Items.push_back(r.item);
        }
    }
};
