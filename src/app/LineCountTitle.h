#pragma once

class Memoria;
class QGroupBox;

// "Detalle Factura — 300 líneas": the lines group's title says how many lines
// the invoice has, which a grid showing a few of them cannot.
void showLineCount(QGroupBox& group, const Memoria& lines);
