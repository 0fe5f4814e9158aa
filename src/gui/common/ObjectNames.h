#pragma once

// Object names of controls that keep their historical numbered names. The
// windows set them and the window tests find the controls by them.
namespace quillane::gui::names {

// Main window.
inline constexpr char kStatusTextPanel[] = "StatusPanel0";
inline constexpr char kItemCountPanel[] = "StatusPanel1";

// Catalog page.
inline constexpr char kGroupTree[] = "TreeView1";
inline constexpr char kGroupMenu[] = "PopupMenu1";
inline constexpr char kSurchargeEdit[] = "Edit6";
inline constexpr char kItemMenu[] = "PopupMenu2";
inline constexpr char kDescriptionMemo[] = "Memo2";
inline constexpr char kDiscountLevelList[] = "CheckListBox1";
inline constexpr char kDiscountSetupButton[] = "Button7";

// Shop creation dialog.
inline constexpr char kItemsStdEdit[] = "Edit1";
inline constexpr char kItemsProEdit[] = "Edit2";
inline constexpr char kItemsDtlEdit[] = "Edit3";
inline constexpr char kPriceCombo[] = "ComboBox1";
inline constexpr char kLayoutCombo[] = "ComboBox2";
inline constexpr char kViewCombo[] = "ComboBox3";
inline constexpr char kXxlBox[] = "CheckBox1";
inline constexpr char kPaymentList[] = "CheckListBox1";
inline constexpr char kCreateButton[] = "Button1";
inline constexpr char kCloseButton[] = "Button2";
inline constexpr char kViewShopButton[] = "Button3";

// Upload dialog.
inline constexpr char kUploadButton[] = "Button1";
inline constexpr char kUploadCloseButton[] = "Button2";
inline constexpr char kFtpConfigButton[] = "Button3";
inline constexpr char kChangedOnlyBox[] = "CheckBox1";
inline constexpr char kFileProgressBar[] = "ProgressBar1";
inline constexpr char kShopProgressBar[] = "ProgressBar2";
inline constexpr char kUploadStatus[] = "Label4";
inline constexpr char kProjectNameLabel[] = "Label5";
inline constexpr char kHostLabel[] = "Label6";
inline constexpr char kFolderLabel[] = "Label7";

// Order tab.
inline constexpr char kConfirmPanel[] = "Panel12";
inline constexpr char kPaymentPanel[] = "Panel14";
inline constexpr char kRemarksMemo[] = "Memo3";
inline constexpr char kInvoiceNumberEdit[] = "Edit5";
inline constexpr char kInvoiceBrowser[] = "WebBrowser3";

} // namespace quillane::gui::names
