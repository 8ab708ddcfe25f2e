/* Lexigrove "classic" skin. Copy this file to x/o.cjs beside the program
   (create the folder x) to use it; delete it to get the plain look back. */
QWidget#Form1 {
    background-color: #e8eef4;
}
/* Where the skin sets a background it sets the text colour too, so that a
   dark desktop palette never puts light text on these light colours. */
QLabel {
    color: #1d2b3a;
}
QPushButton {
    background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fdfdfd, stop:1 #d6dee8);
    border: 1px solid #7a8ca3;
    border-radius: 3px;
    color: #1d2b3a;
}
QPushButton:hover {
    background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #c3d4e8);
}
QPushButton:pressed {
    background-color: #b7c9de;
}
QTreeView {
    background-color: #ffffff;
    color: #1d2b3a;
    border: 1px solid #7a8ca3;
    selection-background-color: #3d6fa8;
}
QHeaderView::section {
    background-color: #d6dee8;
    color: #1d2b3a;
    border: 0px;
    border-right: 1px solid #7a8ca3;
    padding: 2px 4px;
}
QProgressBar {
    border: 1px solid #7a8ca3;
    border-radius: 3px;
    background-color: #ffffff;
    color: #1d2b3a;
    text-align: center;
}
QProgressBar::chunk {
    background-color: #7fb07f;
}
