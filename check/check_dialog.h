// The check program's window: Start runs one check of the library, Close ends the program.
#pragma once

#include "framework/afxwin.h"

class CQuarnelCheckDlg : public CDialogEx {
public:
    explicit CQuarnelCheckDlg(CWnd* parent = nullptr);

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnBnClickedOk();
    afx_msg void OnBnClickedStart();

    DECLARE_MESSAGE_MAP()

    CListBox m_listResult;
    HICON m_hIcon;

private:
    void AddLine(const char* label, const char* result);
};

// The library file the check loads.
extern const char kLibraryFileName[];
