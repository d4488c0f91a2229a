<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CScanDialog</name>
    <message>
        <source>Scan - %1</source>
        <translation>Scannen - %1</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>Modus</translation>
    </message>
    <message>
        <source>&amp;Mode:</source>
        <translation>&amp;Modus:</translation>
    </message>
    <message>
        <source>Resolution</source>
        <translation>Auflösung</translation>
    </message>
    <message>
        <source>&amp;Resolution (dpi):</source>
        <translation>&amp;Auflösung (dpi):</translation>
    </message>
    <message>
        <source>Bit depth</source>
        <translation>Farbtiefe</translation>
    </message>
    <message>
        <source>&amp;Bit depth:</source>
        <translation>&amp;Farbtiefe:</translation>
    </message>
    <message>
        <source>Source</source>
        <translation>Quelle</translation>
    </message>
    <message>
        <source>S&amp;ource:</source>
        <translation>&amp;Quelle:</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>Einheit</translation>
    </message>
    <message>
        <source>&amp;Unit:</source>
        <translation>&amp;Einheit:</translation>
    </message>
    <message>
        <source>&amp;Left:</source>
        <translation>&amp;Links:</translation>
    </message>
    <message>
        <source>&amp;Top:</source>
        <translation>&amp;Oben:</translation>
    </message>
    <message>
        <source>&amp;Width:</source>
        <translation>&amp;Breite:</translation>
    </message>
    <message>
        <source>&amp;Height:</source>
        <translation>&amp;Höhe:</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>Links</translation>
    </message>
    <message>
        <source>Top</source>
        <translation>Oben</translation>
    </message>
    <message>
        <source>Width</source>
        <translation>Breite</translation>
    </message>
    <message>
        <source>Height</source>
        <translation>Höhe</translation>
    </message>
    <message>
        <source>Scanner message</source>
        <translation>Meldung des Scanners</translation>
    </message>
    <message>
        <source>&amp;Preview</source>
        <translation>&amp;Vorschau</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>&amp;Scan</source>
        <translation>&amp;Scannen</translation>
    </message>
    <message>
        <source>Scan</source>
        <translation>Scannen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>The scanner does not take the mode %1.</source>
        <translation>Der Scanner unterstützt den Modus %1 nicht.</translation>
    </message>
    <message>
        <source>The scanner does not take a bit depth of %1.</source>
        <translation>Der Scanner unterstützt keine Farbtiefe von %1.</translation>
    </message>
    <message>
        <source>The scanner does not take a resolution of %1 dpi.</source>
        <translation>Der Scanner unterstützt keine Auflösung von %1 dpi.</translation>
    </message>
    <message>
        <source>The scanner does not take the source %1.</source>
        <translation>Der Scanner unterstützt die Quelle %1 nicht.</translation>
    </message>
    <message>
        <source>The scan area is empty.</source>
        <translation>Der Scanbereich ist leer.</translation>
    </message>
    <message>
        <source>The scanner does not take this scan area.</source>
        <translation>Der Scanner unterstützt diesen Scanbereich nicht.</translation>
    </message>
    <message>
        <source>The preview failed: %1</source>
        <translation>Die Vorschau ist fehlgeschlagen: %1</translation>
    </message>
</context>
<context>
    <name>CScanPreview</name>
    <message>
        <source>Preview of the scan area</source>
        <translation>Vorschau des Scanbereichs</translation>
    </message>
</context>
<context>
    <name>CSourceChooserDialog</name>
    <message>
        <source>Select Scanner</source>
        <translation>Scanner wählen</translation>
    </message>
    <message>
        <source>Sources:</source>
        <translation>Quellen:</translation>
    </message>
    <message>
        <source>Sources</source>
        <translation>Quellen</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>Auswählen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>Commands</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
    <message>
        <source>Rotate Counterclockwise 90</source>
        <translation>90° gegen den Uhrzeigersinn drehen</translation>
    </message>
    <message>
        <source>Rotate Clockwise 90</source>
        <translation>90° im Uhrzeigersinn drehen</translation>
    </message>
    <message>
        <source>Rotate Clockwise 180</source>
        <translation>180° drehen</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>Drucken</translation>
    </message>
    <message>
        <source>Preview...</source>
        <translation>Vorschau...</translation>
    </message>
    <message>
        <source>&amp;Stitch</source>
        <translation>&amp;Zusammenfügen</translation>
    </message>
    <message>
        <source>&amp;Open...</source>
        <translation>Ö&amp;ffnen...</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <source>Save &amp;As...</source>
        <translation>Speichern &amp;unter...</translation>
    </message>
    <message>
        <source>&amp;Acquire...</source>
        <translation>S&amp;cannen...</translation>
    </message>
    <message>
        <source>Stitc&amp;h...</source>
        <translation>&amp;Zusammenfügen...</translation>
    </message>
    <message>
        <source>Select &amp;Scanner...</source>
        <translation>Scanner &amp;wählen...</translation>
    </message>
    <message>
        <source>&amp;Print...</source>
        <translation>&amp;Drucken...</translation>
    </message>
    <message>
        <source>&amp;Quick Print</source>
        <translation>Sc&amp;hnelldruck</translation>
    </message>
    <message>
        <source>Print Pre&amp;view</source>
        <translation>Druck&amp;vorschau</translation>
    </message>
    <message>
        <source>Print Set&amp;up...</source>
        <translation>Drucker&amp;einrichtung...</translation>
    </message>
    <message>
        <source>Mirror &amp;Horizontal</source>
        <translation>&amp;Horizontal spiegeln</translation>
    </message>
    <message>
        <source>Mirror &amp;Vertical</source>
        <translation>&amp;Vertikal spiegeln</translation>
    </message>
    <message>
        <source>Mirror &amp;Diagonal</source>
        <translation>&amp;Diagonal spiegeln</translation>
    </message>
    <message>
        <source>Rotate &amp;Left</source>
        <translation>Nach &amp;links drehen</translation>
    </message>
    <message>
        <source>Rotate &amp;Right</source>
        <translation>Nach &amp;rechts drehen</translation>
    </message>
    <message>
        <source>x2</source>
        <translation>x2</translation>
    </message>
    <message>
        <source>x3</source>
        <translation>x3</translation>
    </message>
    <message>
        <source>x4</source>
        <translation>x4</translation>
    </message>
    <message>
        <source>x5</source>
        <translation>x5</translation>
    </message>
    <message>
        <source>x6</source>
        <translation>x6</translation>
    </message>
    <message>
        <source>x7</source>
        <translation>x7</translation>
    </message>
    <message>
        <source>x8</source>
        <translation>x8</translation>
    </message>
    <message>
        <source>x9</source>
        <translation>x9</translation>
    </message>
    <message>
        <source>x10</source>
        <translation>x10</translation>
    </message>
    <message>
        <source>x11</source>
        <translation>x11</translation>
    </message>
    <message>
        <source>x12</source>
        <translation>x12</translation>
    </message>
    <message>
        <source>x13</source>
        <translation>x13</translation>
    </message>
    <message>
        <source>x14</source>
        <translation>x14</translation>
    </message>
    <message>
        <source>x15</source>
        <translation>x15</translation>
    </message>
    <message>
        <source>x16</source>
        <translation>x16</translation>
    </message>
    <message>
        <source>1/2</source>
        <translation>1/2</translation>
    </message>
    <message>
        <source>1/3</source>
        <translation>1/3</translation>
    </message>
    <message>
        <source>1/4</source>
        <translation>1/4</translation>
    </message>
    <message>
        <source>1/5</source>
        <translation>1/5</translation>
    </message>
    <message>
        <source>1/6</source>
        <translation>1/6</translation>
    </message>
    <message>
        <source>1/7</source>
        <translation>1/7</translation>
    </message>
    <message>
        <source>1/8</source>
        <translation>1/8</translation>
    </message>
    <message>
        <source>1/9</source>
        <translation>1/9</translation>
    </message>
    <message>
        <source>1/10</source>
        <translation>1/10</translation>
    </message>
    <message>
        <source>1/11</source>
        <translation>1/11</translation>
    </message>
    <message>
        <source>1/12</source>
        <translation>1/12</translation>
    </message>
    <message>
        <source>1/13</source>
        <translation>1/13</translation>
    </message>
    <message>
        <source>1/14</source>
        <translation>1/14</translation>
    </message>
    <message>
        <source>1/15</source>
        <translation>1/15</translation>
    </message>
    <message>
        <source>1/16</source>
        <translation>1/16</translation>
    </message>
    <message>
        <source>&amp;Actual Size</source>
        <translation>&amp;Originalgröße</translation>
    </message>
    <message>
        <source>Fit In &amp;Window</source>
        <translation>In Fenster &amp;einpassen</translation>
    </message>
    <message>
        <source>&amp;Full Screen</source>
        <translation>Voll&amp;bild</translation>
    </message>
    <message>
        <source>&amp;Toolbar</source>
        <translation>&amp;Symbolleiste</translation>
    </message>
    <message>
        <source>&amp;Status Bar</source>
        <translation>S&amp;tatusleiste</translation>
    </message>
    <message>
        <source>Zoom &amp;In</source>
        <translation>Ver&amp;größern</translation>
    </message>
    <message>
        <source>Zoom &amp;Out</source>
        <translation>Verk&amp;leinern</translation>
    </message>
    <message>
        <source>&amp;Information...</source>
        <translation>&amp;Informationen...</translation>
    </message>
    <message>
        <source>&amp;Cascade</source>
        <translation>&amp;Überlappend</translation>
    </message>
    <message>
        <source>&amp;Tile</source>
        <translation>&amp;Nebeneinander</translation>
    </message>
    <message>
        <source>&amp;Arrange Icons</source>
        <translation>&amp;Symbole anordnen</translation>
    </message>
    <message>
        <source>&amp;Index</source>
        <translation>&amp;Inhalt</translation>
    </message>
    <message>
        <source>&amp;Keyboard</source>
        <translation>&amp;Tastatur</translation>
    </message>
    <message>
        <source>Icon &amp;Summary</source>
        <translation>&amp;Symbolübersicht</translation>
    </message>
    <message>
        <source>&amp;Using Help</source>
        <translation>&amp;Hilfe verwenden</translation>
    </message>
    <message>
        <source>&amp;About...</source>
        <translation>Ü&amp;ber...</translation>
    </message>
    <message>
        <source>&amp;Import...</source>
        <translation>&amp;Importieren...</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
    <message>
        <source>&amp;Crop to Selection</source>
        <translation>Auf Auswahl &amp;zuschneiden</translation>
    </message>
    <message>
        <source>&amp;Trim Border</source>
        <translation>Rand &amp;entfernen</translation>
    </message>
    <message>
        <source>&amp;Select Area</source>
        <translation>&amp;Bereich auswählen</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Rückgängig</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>&amp;Wiederholen</translation>
    </message>
    <message>
        <source>Stitch &amp;Many...</source>
        <translation>&amp;Mehrere zusammenfügen...</translation>
    </message>
</context>
<context>
    <name>Dialogs</name>
    <message>
        <source>Main Image</source>
        <translation>Hauptbild</translation>
    </message>
    <message>
        <source>Image</source>
        <translation>Bild</translation>
    </message>
    <message>
        <source>Type:</source>
        <translation>Typ:</translation>
    </message>
    <message>
        <source>?</source>
        <translation>?</translation>
    </message>
    <message>
        <source>Size:</source>
        <translation>Größe:</translation>
    </message>
    <message>
        <source>Resolution:</source>
        <translation>Auflösung:</translation>
    </message>
    <message>
        <source>&amp;Scan...</source>
        <translation>&amp;Scannen...</translation>
    </message>
    <message>
        <source>&amp;Import...</source>
        <translation>&amp;Importieren...</translation>
    </message>
    <message>
        <source>&amp;Rotate...</source>
        <translation>&amp;Drehen...</translation>
    </message>
    <message>
        <source>Stitch Image</source>
        <translation>Zusammenfügen</translation>
    </message>
    <message>
        <source>Deskew</source>
        <translation>Gerade richten</translation>
    </message>
    <message>
        <source>Rest Image</source>
        <translation>Anschlussbild</translation>
    </message>
    <message>
        <source>Stitch Control</source>
        <translation>Anschluss</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>Links</translation>
    </message>
    <message>
        <source>Top</source>
        <translation>Oben</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>Rechts</translation>
    </message>
    <message>
        <source>Bottom</source>
        <translation>Unten</translation>
    </message>
    <message>
        <source>Overlap Range in Auto Stitch:</source>
        <translation>Überlappung beim automatischen Zusammenfügen:</translation>
    </message>
    <message>
        <source>Stitch Method</source>
        <translation>Verfahren</translation>
    </message>
    <message>
        <source>Manual</source>
        <translation>Manuell</translation>
    </message>
    <message>
        <source>Semi-Auto</source>
        <translation>Halbautomatisch</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Automatisch</translation>
    </message>
    <message>
        <source>Main/Rest Swap</source>
        <translation>Haupt- und Anschlussbild tauschen</translation>
    </message>
    <message>
        <source>Printer</source>
        <translation>Drucker</translation>
    </message>
    <message>
        <source>Default Printer</source>
        <translation>Standarddrucker</translation>
    </message>
    <message>
        <source>Set&amp;up...</source>
        <translation>&amp;Einrichten...</translation>
    </message>
    <message>
        <source>Preview...</source>
        <translation>Vorschau...</translation>
    </message>
    <message>
        <source>&amp;Copies :</source>
        <translation>&amp;Exemplare:</translation>
    </message>
    <message>
        <source>&amp;Left Margin :</source>
        <translation>&amp;Linker Rand:</translation>
    </message>
    <message>
        <source>&amp;Top Margin :</source>
        <translation>&amp;Oberer Rand:</translation>
    </message>
    <message>
        <source>Center the Image &amp;Horizontally</source>
        <translation>Bild &amp;waagerecht zentrieren</translation>
    </message>
    <message>
        <source>Center the Image &amp;Vertically</source>
        <translation>Bild &amp;senkrecht zentrieren</translation>
    </message>
    <message>
        <source>Layout</source>
        <translation>Anordnung</translation>
    </message>
    <message>
        <source>Rescale</source>
        <translation>Skalieren</translation>
    </message>
    <message>
        <source>&amp;Fit in Page</source>
        <translation>Auf &amp;Seite einpassen</translation>
    </message>
    <message>
        <source>Source Image :</source>
        <translation>Ausgangsbild:</translation>
    </message>
    <message>
        <source>Target Image</source>
        <translation>Zielbild</translation>
    </message>
    <message>
        <source>&amp;Size :</source>
        <translation>&amp;Größe:</translation>
    </message>
    <message>
        <source>x</source>
        <translation>x</translation>
    </message>
    <message>
        <source>Resolution :</source>
        <translation>Auflösung:</translation>
    </message>
    <message>
        <source>DPI</source>
        <translation>DPI</translation>
    </message>
    <message>
        <source>Rescale Factor</source>
        <translation>Skalierungsfaktor</translation>
    </message>
    <message>
        <source>&amp;X :</source>
        <translation>&amp;X:</translation>
    </message>
    <message>
        <source>%</source>
        <translation>%</translation>
    </message>
    <message>
        <source>&amp;Y :</source>
        <translation>&amp;Y:</translation>
    </message>
    <message>
        <source>10</source>
        <translation>10</translation>
    </message>
    <message>
        <source>&amp;Keep Ratio</source>
        <translation>Seitenverhältnis &amp;beibehalten</translation>
    </message>
    <message>
        <source>Paper Size:</source>
        <translation>Papierformat:</translation>
    </message>
    <message>
        <source>Layout:</source>
        <translation>Anordnung:</translation>
    </message>
    <message>
        <source>Background</source>
        <translation>Hintergrund</translation>
    </message>
    <message>
        <source>Output Option</source>
        <translation>Ausgabe</translation>
    </message>
    <message>
        <source>&amp;Add Frame</source>
        <translation>&amp;Rahmen hinzufügen</translation>
    </message>
    <message>
        <source>Print with &amp;WaterMark</source>
        <translation>Mit &amp;Wasserzeichen drucken</translation>
    </message>
    <message>
        <source>WaterMark:</source>
        <translation>Wasserzeichen:</translation>
    </message>
    <message>
        <source>Tile</source>
        <translation>Kacheln</translation>
    </message>
    <message>
        <source>Center</source>
        <translation>Zentriert</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>&amp;Print...</source>
        <translation>&amp;Drucken...</translation>
    </message>
    <message>
        <source>Zoom &amp;In</source>
        <translation>Ver&amp;größern</translation>
    </message>
    <message>
        <source>Zoom &amp;Out</source>
        <translation>Verk&amp;leinern</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
    <message>
        <source>Abort Printing</source>
        <translation>Drucken abbrechen</translation>
    </message>
    <message>
        <source>Printing</source>
        <translation>Es wird gedruckt</translation>
    </message>
    <message>
        <source>To</source>
        <translation>auf</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>System</source>
        <translation>System</translation>
    </message>
    <message>
        <source>Running Processor :</source>
        <translation>Prozessor:</translation>
    </message>
    <message>
        <source>Version :</source>
        <translation>Version:</translation>
    </message>
    <message>
        <source>Available Swap Space:</source>
        <translation>Freier Auslagerungsspeicher:</translation>
    </message>
    <message>
        <source>Current Directory :</source>
        <translation>Aktueller Ordner:</translation>
    </message>
    <message>
        <source>Cache Path :</source>
        <translation>Zwischenspeicher:</translation>
    </message>
    <message>
        <source>Total Space :</source>
        <translation>Speicherplatz gesamt:</translation>
    </message>
    <message>
        <source>Free Space :</source>
        <translation>Freier Speicherplatz:</translation>
    </message>
    <message>
        <source>Document</source>
        <translation>Dokument</translation>
    </message>
    <message>
        <source>&amp;Unit :</source>
        <translation>&amp;Einheit:</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Weiter</translation>
    </message>
</context>
<context>
    <name>EmbeddedMenuText</name>
    <message>
        <source>&amp;Update</source>
        <translation>&amp;Aktualisieren</translation>
    </message>
    <message>
        <source>Save Copy &amp;As...</source>
        <translation>&amp;Kopie speichern unter...</translation>
    </message>
</context>
<context>
    <name>FileDialogsText</name>
    <message>
        <source>JPEG Options</source>
        <translation>JPEG-Optionen</translation>
    </message>
    <message>
        <source>TIFF Options</source>
        <translation>TIFF-Optionen</translation>
    </message>
    <message>
        <source>Quality</source>
        <translation>Qualität</translation>
    </message>
    <message>
        <source>&amp;Quality:</source>
        <translation>&amp;Qualität:</translation>
    </message>
    <message>
        <source>Compression</source>
        <translation>Kompression</translation>
    </message>
    <message>
        <source>&amp;Compression:</source>
        <translation>&amp;Kompression:</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>Automatisch</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keine</translation>
    </message>
</context>
<context>
    <name>IconBarText</name>
    <message>
        <source>Iconbar</source>
        <translation>Symbolleiste</translation>
    </message>
    <message>
        <source>Toggle Iconbar</source>
        <translation>Symbolleiste ein/aus</translation>
    </message>
</context>
<context>
    <name>InPlaceFrameText</name>
    <message>
        <source>Resize bar</source>
        <translation>Größenleiste</translation>
    </message>
    <message>
        <source>In-place frame</source>
        <translation>Eingebetteter Rahmen</translation>
    </message>
    <message>
        <source>embedded picture</source>
        <translation>eingebettetes Bild</translation>
    </message>
    <message>
        <source>Toolbar</source>
        <translation>Werkzeugleiste</translation>
    </message>
</context>
<context>
    <name>InfoSheetText</name>
    <message>
        <source>Width</source>
        <translation>Breite</translation>
    </message>
    <message>
        <source>Height</source>
        <translation>Höhe</translation>
    </message>
    <message>
        <source>Thumbnail</source>
        <translation>Miniatur</translation>
    </message>
    <message>
        <source>Pages</source>
        <translation>Seiten</translation>
    </message>
    <message>
        <source>What the stitch found</source>
        <translation>Was das Zusammenfügen gefunden hat</translation>
    </message>
</context>
<context>
    <name>Menus</name>
    <message>
        <source>&amp;Bitmap</source>
        <translation>&amp;Bild</translation>
    </message>
    <message>
        <source>&amp;Enlarge</source>
        <translation>&amp;Vergrößert</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;Reduce</source>
        <translation>Ver&amp;kleinert</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>&amp;Window</source>
        <translation>&amp;Fenster</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>B&amp;earbeiten</translation>
    </message>
</context>
<context>
    <name>PMainWnd</name>
    <message>
        <source>Not available while the stitch sheet is open</source>
        <translation>Nicht verfügbar, solange der Zusammenfügen-Dialog offen ist</translation>
    </message>
    <message>
        <source> (not available while the stitch sheet is open)</source>
        <translation> (nicht verfügbar, solange der Zusammenfügen-Dialog offen ist)</translation>
    </message>
</context>
<context>
    <name>PrintSheetText</name>
    <message>
        <source>%1 x %2 = %3 sheets</source>
        <translation>%1 x %2 = %3 Blätter</translation>
    </message>
    <message>
        <source>Printer</source>
        <translation>Drucker</translation>
    </message>
    <message>
        <source>&amp;Copies :</source>
        <translation>&amp;Exemplare:</translation>
    </message>
    <message>
        <source>Portrait</source>
        <translation>Hochformat</translation>
    </message>
    <message>
        <source>Landscape</source>
        <translation>Querformat</translation>
    </message>
    <message>
        <source>&amp;Left Margin :</source>
        <translation>&amp;Linker Rand:</translation>
    </message>
    <message>
        <source>&amp;Top Margin :</source>
        <translation>&amp;Oberer Rand:</translation>
    </message>
    <message>
        <source>Units</source>
        <translation>Einheiten</translation>
    </message>
    <message>
        <source>Source Image :</source>
        <translation>Ausgangsbild:</translation>
    </message>
    <message>
        <source>Source Resolution</source>
        <translation>Auflösung des Ausgangsbilds</translation>
    </message>
    <message>
        <source>Target Size: width</source>
        <translation>Zielgröße: Breite</translation>
    </message>
    <message>
        <source>Target Size: height</source>
        <translation>Zielgröße: Höhe</translation>
    </message>
    <message>
        <source>Target Size unit</source>
        <translation>Einheit der Zielgröße</translation>
    </message>
    <message>
        <source>Target Resolution: horizontal</source>
        <translation>Zielauflösung: waagerecht</translation>
    </message>
    <message>
        <source>Target Resolution: vertical</source>
        <translation>Zielauflösung: senkrecht</translation>
    </message>
    <message>
        <source>Rescale Factor X (%)</source>
        <translation>Skalierungsfaktor X (%)</translation>
    </message>
    <message>
        <source>Rescale Factor Y (%)</source>
        <translation>Skalierungsfaktor Y (%)</translation>
    </message>
    <message>
        <source>Rescale Factor X slider</source>
        <translation>Schieberegler Skalierungsfaktor X</translation>
    </message>
    <message>
        <source>Rescale Factor Y slider</source>
        <translation>Schieberegler Skalierungsfaktor Y</translation>
    </message>
    <message>
        <source>Rescale Factor X maximum</source>
        <translation>Höchster Skalierungsfaktor X</translation>
    </message>
    <message>
        <source>Rescale Factor Y maximum</source>
        <translation>Höchster Skalierungsfaktor Y</translation>
    </message>
    <message>
        <source>Paper Size:</source>
        <translation>Papierformat:</translation>
    </message>
    <message>
        <source>&amp;Poster</source>
        <translation>&amp;Poster</translation>
    </message>
    <message>
        <source>&amp;Overlap (mm) :</source>
        <translation>&amp;Überlappung (mm):</translation>
    </message>
    <message>
        <source>Cut &amp;marks</source>
        <translation>&amp;Schnittmarken</translation>
    </message>
    <message>
        <source>&amp;Labels</source>
        <translation>&amp;Beschriftung</translation>
    </message>
    <message>
        <source>Sheets</source>
        <translation>Blätter</translation>
    </message>
    <message>
        <source>Target Image</source>
        <translation>Zielbild</translation>
    </message>
    <message>
        <source>&amp;Size :</source>
        <translation>&amp;Größe:</translation>
    </message>
    <message>
        <source>Resolution :</source>
        <translation>Auflösung:</translation>
    </message>
    <message>
        <source>DPI</source>
        <translation>DPI</translation>
    </message>
    <message>
        <source>Rescale Factor</source>
        <translation>Skalierungsfaktor</translation>
    </message>
    <message>
        <source>&amp;X :</source>
        <translation>&amp;X:</translation>
    </message>
    <message>
        <source>&amp;Y :</source>
        <translation>&amp;Y:</translation>
    </message>
    <message>
        <source>Poster</source>
        <translation>Poster</translation>
    </message>
    <message>
        <source>Frame %1</source>
        <translation>Rahmen %1</translation>
    </message>
    <message>
        <source>WaterMark:</source>
        <translation>Wasserzeichen:</translation>
    </message>
    <message>
        <source>Output Option</source>
        <translation>Ausgabe</translation>
    </message>
    <message>
        <source>Layout</source>
        <translation>Anordnung</translation>
    </message>
    <message>
        <source>Pages</source>
        <translation>Seiten</translation>
    </message>
    <message>
        <source> Print them all?</source>
        <translation> Alle drucken?</translation>
    </message>
    <message>
        <source>PDF &amp;file:</source>
        <translation>PDF-&amp;Datei:</translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation>&amp;Durchsuchen...</translation>
    </message>
    <message>
        <source>Browse for the PDF file</source>
        <translation>PDF-Datei auswählen</translation>
    </message>
    <message>
        <source>Print to PDF File</source>
        <translation>In PDF-Datei drucken</translation>
    </message>
    <message>
        <source>PDF files (*.pdf)</source>
        <translation>PDF-Dateien (*.pdf)</translation>
    </message>
    <message>
        <source>The PDF file cannot be written: the folder %1 does not exist or cannot be written to. Choose another file.</source>
        <translation>Die PDF-Datei kann nicht geschrieben werden: Der Ordner %1 existiert nicht oder ist schreibgeschützt. Wählen Sie eine andere Datei.</translation>
    </message>
    <message>
        <source>At this scale the picture (%1 x %2 mm) is larger than what the paper can take (%3 x %4 mm): its edges would be cut off. Print it as a poster across several sheets, or print only the part that fits?</source>
        <translation>In diesem Maßstab ist das Bild (%1 x %2 mm) größer, als das Papier fassen kann (%3 x %4 mm): Seine Ränder würden abgeschnitten. Als Poster über mehrere Blätter drucken oder nur den Teil drucken, der passt?</translation>
    </message>
    <message>
        <source>Print as &amp;Poster</source>
        <translation>Als &amp;Poster drucken</translation>
    </message>
    <message>
        <source>Print &amp;Anyway</source>
        <translation>&amp;Trotzdem drucken</translation>
    </message>
</context>
<context>
    <name>PrintingText</name>
    <message>
        <source>Printing</source>
        <translation>Es wird gedruckt</translation>
    </message>
    <message>
        <source>To</source>
        <translation>auf</translation>
    </message>
    <message>
        <source>Previous Sheet</source>
        <translation>Vorheriges Blatt</translation>
    </message>
    <message>
        <source>Next Sheet</source>
        <translation>Nächstes Blatt</translation>
    </message>
    <message>
        <source>Sheet</source>
        <translation>Blatt</translation>
    </message>
    <message>
        <source>Sheet %1 (%2 of %3)</source>
        <translation>Blatt %1 (%2 von %3)</translation>
    </message>
    <message>
        <source>Printed to %1</source>
        <translation>Gedruckt in %1</translation>
    </message>
</context>
<context>
    <name>StatusBarText</name>
    <message>
        <source>Progress caption</source>
        <translation>Fortschrittsanzeige: Vorgang</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
</context>
<context>
    <name>StitchManyText</name>
    <message>
        <source>1 piece.</source>
        <translation>1 Teil.</translation>
    </message>
    <message>
        <source>%1 pieces.</source>
        <translation>%1 Teile.</translation>
    </message>
    <message>
        <source>Add the pieces of one picture, or drop their files here.</source>
        <translation>Fügen Sie die Teile eines Bildes hinzu oder ziehen Sie ihre Dateien hierher.</translation>
    </message>
    <message>
        <source>Stitch Many</source>
        <translation>Mehrere zusammenfügen</translation>
    </message>
    <message>
        <source>Pieces</source>
        <translation>Teile</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>&amp;Add...</source>
        <translation>&amp;Hinzufügen...</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>&amp;Stitch</source>
        <translation>&amp;Zusammenfügen</translation>
    </message>
    <message>
        <source>%1 moved by hand: Stitch looks for its overlaps about where it lies now.</source>
        <translation>%1 wurde von Hand verschoben: Beim Zusammenfügen werden seine Überlappungen ungefähr dort gesucht, wo es jetzt liegt.</translation>
    </message>
    <message>
        <source>Could not read %1</source>
        <translation>%1 konnte nicht gelesen werden</translation>
    </message>
    <message>
        <source>Joined %1 pieces found in a grid of %2 x %3.</source>
        <translation>%1 Teile in einem Raster von %2 x %3 gefunden und zusammengefügt.</translation>
    </message>
    <message>
        <source>Joined %1 pieces.</source>
        <translation>%1 Teile zusammengefügt.</translation>
    </message>
    <message>
        <source>Add Pieces</source>
        <translation>Teile hinzufügen</translation>
    </message>
</context>
<context>
    <name>StitchSheetText</name>
    <message>
        <source> thumbnail</source>
        <translation> (Miniatur)</translation>
    </message>
    <message>
        <source>Pages</source>
        <translation>Seiten</translation>
    </message>
    <message>
        <source>Next Page</source>
        <translation>Nächste Seite</translation>
    </message>
    <message>
        <source>No scanner library was found on this system.</source>
        <translation>Auf diesem System wurde keine Scanner-Bibliothek gefunden.</translation>
    </message>
    <message>
        <source>&amp;Use Open Picture</source>
        <translation>Geöffnetes &amp;Bild verwenden</translation>
    </message>
    <message>
        <source>Both the Main Image and the Rest Image page need a picture.</source>
        <translation>Die Seiten Hauptbild und Anschlussbild brauchen beide ein Bild.</translation>
    </message>
    <message>
        <source>No picture is open in the main window.</source>
        <translation>Im Hauptfenster ist kein Bild geöffnet.</translation>
    </message>
    <message>
        <source>Overlap in per cent</source>
        <translation>Überlappung in Prozent</translation>
    </message>
    <message>
        <source>The Main Image page has no picture yet.</source>
        <translation>Die Seite Hauptbild hat noch kein Bild.</translation>
    </message>
    <message>
        <source>The Rest Image page has no picture yet.</source>
        <translation>Die Seite Anschlussbild hat noch kein Bild.</translation>
    </message>
    <message>
        <source> A deskew turns a picture and makes it larger.</source>
        <translation> Das Geraderichten dreht ein Bild und macht es größer.</translation>
    </message>
    <message>
        <source> Manual placement joins any two pictures.</source>
        <translation> Die manuelle Platzierung fügt zwei beliebige Bilder zusammen.</translation>
    </message>
</context>
<context>
    <name>Strings</name>
    <message>
        <source>The embedding service could not be started. Make sure that the session bus (D-Bus) is running.</source>
        <translation>Der Einbettungsdienst konnte nicht gestartet werden. Stellen Sie sicher, dass der Sitzungsbus (D-Bus) läuft.</translation>
    </message>
    <message>
        <source>Stitchara
untitled - 
Stitchara
Stitchara Files (*.vdl)
.vdl</source>
        <translation>Stitchara
unbenannt - 
Stitchara
Stitchara-Dateien (*.vdl)
.vdl</translation>
    </message>
    <message>
        <source>Filename : </source>
        <translation>Dateiname: </translation>
    </message>
    <message>
        <source>Resolution - X : </source>
        <translation>Auflösung - X: </translation>
    </message>
    <message>
        <source>Resolution - Y : </source>
        <translation>Auflösung - Y: </translation>
    </message>
    <message>
        <source>Image Type : </source>
        <translation>Bildtyp: </translation>
    </message>
    <message>
        <source>Image Size : </source>
        <translation>Bildgröße: </translation>
    </message>
    <message>
        <source>Version 1.0</source>
        <translation>Version 1.0</translation>
    </message>
    <message>
        <source>Image stitching for scanned and stored pictures</source>
        <translation>Zusammenfügen gescannter und gespeicherter Bilder</translation>
    </message>
    <message>
        <source>Processing</source>
        <translation>Verarbeitung</translation>
    </message>
    <message>
        <source>X:%-5d  Y:%-5d</source>
        <translation>X:%-5d  Y:%-5d</translation>
    </message>
    <message>
        <source> Click to show or hide the Iconbar</source>
        <translation> Klicken, um die Symbolleiste ein- oder auszublenden</translation>
    </message>
    <message>
        <source> Display the mouse position on the active image </source>
        <translation> Zeigt die Mausposition im aktiven Bild </translation>
    </message>
    <message>
        <source> Display the on-line help information </source>
        <translation> Zeigt Hinweise zur Bedienung </translation>
    </message>
    <message>
        <source>inch</source>
        <translation>Zoll</translation>
    </message>
    <message>
        <source>cm</source>
        <translation>cm</translation>
    </message>
    <message>
        <source>pixel</source>
        <translation>Pixel</translation>
    </message>
    <message>
        <source>Black &amp;&amp; White</source>
        <translation>Schwarzweiß</translation>
    </message>
    <message>
        <source>24 bit True Color</source>
        <translation>24 Bit Echtfarben</translation>
    </message>
    <message>
        <source>Index 16  color</source>
        <translation>16 Farben, indiziert</translation>
    </message>
    <message>
        <source>Index 256 color</source>
        <translation>256 Farben, indiziert</translation>
    </message>
    <message>
        <source>Index 16  gray</source>
        <translation>16 Graustufen, indiziert</translation>
    </message>
    <message>
        <source>Index 256 gray</source>
        <translation>256 Graustufen, indiziert</translation>
    </message>
    <message>
        <source>32K Color</source>
        <translation>32K Farben</translation>
    </message>
    <message>
        <source>64K Color</source>
        <translation>64K Farben</translation>
    </message>
    <message>
        <source>32 bit True Color</source>
        <translation>32 Bit Echtfarben</translation>
    </message>
    <message>
        <source>Printing</source>
        <translation>Drucken</translation>
    </message>
    <message>
        <source>An error occurred while printing.</source>
        <translation>Beim Drucken ist ein Fehler aufgetreten.</translation>
    </message>
    <message>
        <source>There is not enough memory.</source>
        <translation>Es ist nicht genügend Arbeitsspeicher vorhanden.</translation>
    </message>
    <message>
        <source>80486</source>
        <translation>80486</translation>
    </message>
    <message>
        <source>80386</source>
        <translation>80386</translation>
    </message>
    <message>
        <source>Pentium</source>
        <translation>Pentium</translation>
    </message>
    <message>
        <source>KB</source>
        <translation>KB</translation>
    </message>
    <message>
        <source>DPI</source>
        <translation>DPI</translation>
    </message>
    <message>
        <source>All Formats</source>
        <translation>Alle Formate</translation>
    </message>
    <message>
        <source>Mirroring</source>
        <translation>Spiegeln</translation>
    </message>
    <message>
        <source>Rotating</source>
        <translation>Drehen</translation>
    </message>
    <message>
        <source>Deskewing</source>
        <translation>Gerade richten</translation>
    </message>
    <message>
        <source>Loading Image</source>
        <translation>Bild wird geladen</translation>
    </message>
    <message>
        <source>Saving Image</source>
        <translation>Bild wird gespeichert</translation>
    </message>
    <message>
        <source>The image file library could not be loaded.</source>
        <translation>Die Bibliothek für Bilddateien konnte nicht geladen werden.</translation>
    </message>
    <message>
        <source>Main Image</source>
        <translation>Hauptbild</translation>
    </message>
    <message>
        <source>Rest Image</source>
        <translation>Anschlussbild</translation>
    </message>
    <message>
        <source>Stitch Image</source>
        <translation>Zusammenfügen</translation>
    </message>
    <message>
        <source>Printer</source>
        <translation>Drucker</translation>
    </message>
    <message>
        <source>Rescale</source>
        <translation>Skalieren</translation>
    </message>
    <message>
        <source>Background</source>
        <translation>Hintergrund</translation>
    </message>
    <message>
        <source>System</source>
        <translation>System</translation>
    </message>
    <message>
        <source>Document</source>
        <translation>Dokument</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>Drucken</translation>
    </message>
    <message>
        <source>&amp;Stitch</source>
        <translation>&amp;Zusammenfügen</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Informationen</translation>
    </message>
    <message>
        <source>Copy Image</source>
        <translation>Bild kopieren</translation>
    </message>
    <message>
        <source>Put Image</source>
        <translation>Bild einfügen</translation>
    </message>
    <message>
        <source>The scanner manager could not be started.</source>
        <translation>Die Scannerverwaltung konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>The scanner driver could not be started. Please make sure that the scanner and its driver are installed correctly.</source>
        <translation>Der Scannertreiber konnte nicht gestartet werden. Bitte prüfen Sie, ob der Scanner und sein Treiber richtig installiert sind.</translation>
    </message>
    <message>
        <source>The file %s does not exist.</source>
        <translation>Die Datei %s existiert nicht.</translation>
    </message>
    <message>
        <source>Stitching these pictures will take a long time. Do you want to go on?</source>
        <translation>Das Zusammenfügen dieser Bilder wird lange dauern. Möchten Sie fortfahren?</translation>
    </message>
    <message>
        <source>The overlap is not in the allowed range.</source>
        <translation>Die Überlappung liegt nicht im zulässigen Bereich.</translation>
    </message>
    <message>
        <source>This printer cannot be reset.</source>
        <translation>Dieser Drucker kann nicht zurückgesetzt werden.</translation>
    </message>
    <message>
        <source>Drag each round handle with the left mouse button to straighten the picture; click the right mouse button to finish.</source>
        <translation>Ziehen Sie die runden Griffe mit der linken Maustaste, um das Bild gerade zu richten; klicken Sie zum Abschluss mit der rechten Maustaste.</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source> on </source>
        <translation> an </translation>
    </message>
    <message>
        <source>Placement, step 1 of 2: move the frame onto a detail of the Rest picture near the seam and click to pick it up. Escape cancels.</source>
        <translation>Platzierung, Schritt 1 von 2: Bewegen Sie den Rahmen auf eine Einzelheit des Anschlussbilds nahe der Naht und klicken Sie, um sie aufzunehmen. Esc bricht ab.</translation>
    </message>
    <message>
        <source>Placement, step 2 of 2: move the block to where the same detail is in the Main picture and click to put it there. Escape cancels.</source>
        <translation>Platzierung, Schritt 2 von 2: Bewegen Sie den Block dorthin, wo dieselbe Einzelheit im Hauptbild liegt, und klicken Sie, um ihn dort abzulegen. Esc bricht ab.</translation>
    </message>
    <message>
        <source>Scanning</source>
        <translation>Scannen</translation>
    </message>
    <message>
        <source>No scanner was found.</source>
        <translation>Es wurde kein Scanner gefunden.</translation>
    </message>
    <message>
        <source>The scanner reported a problem: %s. The scan was discarded.</source>
        <translation>Der Scanner hat ein Problem gemeldet: %s. Der Scan wurde verworfen.</translation>
    </message>
    <message>
        <source>the scanner sent less image data than it announced</source>
        <translation>der Scanner hat weniger Bilddaten gesendet als angekündigt</translation>
    </message>
    <message>
        <source>The scanner library (SANE) is not installed.</source>
        <translation>Die Scannerbibliothek (SANE) ist nicht installiert.</translation>
    </message>
    <message>
        <source>not available</source>
        <translation>nicht verfügbar</translation>
    </message>
    <message>
        <source>Cannot open %s: it is not a picture file that can be read.</source>
        <translation>%s kann nicht geöffnet werden: Es ist keine lesbare Bilddatei.</translation>
    </message>
    <message>
        <source>The settings cannot be saved in %s. The recent files and the icon bar&apos;s state are kept until the program ends.</source>
        <translation>Die Einstellungen können nicht in %s gespeichert werden. Die zuletzt geöffneten Dateien und der Zustand der Symbolleiste bleiben bis zum Programmende erhalten.</translation>
    </message>
    <message>
        <source>No web browser could be started to show the help. The help pages are in the folder %s; the first page is %s.</source>
        <translation>Es konnte kein Webbrowser gestartet werden, um die Hilfe anzuzeigen. Die Hilfeseiten liegen im Ordner %s; die erste Seite ist %s.</translation>
    </message>
    <message>
        <source>No overlap found: nothing near the %s edge of the Rest picture recurs in the Main picture within an overlap of %d pixels. Try another side, a larger overlap, or Manual.</source>
        <translation>Keine Überlappung gefunden: Nichts nahe der Kante „%s“ des Anschlussbilds findet sich im Hauptbild innerhalb einer Überlappung von %d Pixeln wieder. Versuchen Sie eine andere Seite, eine größere Überlappung oder „Manuell“.</translation>
    </message>
    <message>
        <source>The pictures share only %d pixels across the seam, too few to join them reliably. Scan them with more overlap, or use Manual.</source>
        <translation>Die Bilder überlappen sich an der Naht nur um %d Pixel, zu wenig, um sie verlässlich zusammenzufügen. Scannen Sie sie mit mehr Überlappung oder verwenden Sie „Manuell“.</translation>
    </message>
    <message>
        <source>The best overlap found (%d pixels) is not reliable: %s. %s</source>
        <translation>Die beste gefundene Überlappung (%d Pixel) ist nicht verlässlich: %s. %s</translation>
    </message>
    <message>
        <source>stitched: overlap %d pixels (chosen %d), Rest shifted %+.1f pixels along the seam, turned %+.2f degrees, scaled %.4f, match quality %d%% (%d of %d blocks agree)%s</source>
        <translation>zusammengefügt: Überlappung %d Pixel (gewählt %d), Anschlussbild entlang der Naht um %+.1f Pixel verschoben, um %+.2f Grad gedreht, skaliert mit %.4f, Übereinstimmung %d%% (%d von %d Blöcken stimmen überein)%s</translation>
    </message>
    <message>
        <source>most details found in both pictures disagree on where the Rest picture lies (%d of %d)</source>
        <translation>die meisten in beiden Bildern gefundenen Einzelheiten widersprechen sich darin, wo das Anschlussbild liegt (%d von %d)</translation>
    </message>
    <message>
        <source>the details found in both pictures are only faintly alike (match quality %d%%, %d%% needed), as in blurred, noisy or strongly compressed scans</source>
        <translation>die in beiden Bildern gefundenen Einzelheiten ähneln sich nur schwach (Übereinstimmung %d%%, %d%% nötig), wie bei unscharfen, verrauschten oder stark komprimierten Scans</translation>
    </message>
    <message>
        <source>the shared strip as a whole differs between the pictures (%d%% alike, %d%% needed), as when something covers part of it or one scan is stretched or warped</source>
        <translation>der gemeinsame Streifen unterscheidet sich als Ganzes zwischen den Bildern (%d%% ähnlich, %d%% nötig), etwa wenn etwas einen Teil verdeckt oder ein Scan gedehnt oder verzogen ist</translation>
    </message>
    <message>
        <source>Mark the same point in each picture and use Semi-Auto, or use Manual.</source>
        <translation>Markieren Sie in jedem Bild denselben Punkt und verwenden Sie „Halbautomatisch“ oder „Manuell“.</translation>
    </message>
    <message>
        <source>Check that the two points mark the same detail, or use Manual.</source>
        <translation>Prüfen Sie, ob die beiden Punkte dieselbe Einzelheit markieren, oder verwenden Sie „Manuell“.</translation>
    </message>
    <message>
        <source>Scan both pictures sharp and at the same settings, or use Manual.</source>
        <translation>Scannen Sie beide Bilder scharf und mit denselben Einstellungen oder verwenden Sie „Manuell“.</translation>
    </message>
    <message>
        <source>Scan them again with nothing over the overlap, or with a larger overlap, or use Manual.</source>
        <translation>Scannen Sie sie erneut, ohne dass etwas die Überlappung verdeckt, oder mit größerer Überlappung, oder verwenden Sie „Manuell“.</translation>
    </message>
    <message>
        <source>Open an image file
Open</source>
        <translation>Eine Bilddatei öffnen
Öffnen</translation>
    </message>
    <message>
        <source>Save the active image
Save</source>
        <translation>Das aktive Bild speichern
Speichern</translation>
    </message>
    <message>
        <source>Save the active image under a new name
Save As</source>
        <translation>Das aktive Bild unter einem neuen Namen speichern
Speichern unter</translation>
    </message>
    <message>
        <source>Acquire an image from the scanner
Acquire</source>
        <translation>Ein Bild vom Scanner einlesen
Scannen</translation>
    </message>
    <message>
        <source>Stitch Images from the scanner or from files
Stitch</source>
        <translation>Bilder vom Scanner oder aus Dateien zusammenfügen
Zusammenfügen</translation>
    </message>
    <message>
        <source>Choose the scanner to scan from
Select Scanner</source>
        <translation>Den Scanner wählen, mit dem gescannt wird
Scanner wählen</translation>
    </message>
    <message>
        <source>Print the active image
Print</source>
        <translation>Das aktive Bild drucken
Drucken</translation>
    </message>
    <message>
        <source>Print the active image with its last print settings
Quick Print</source>
        <translation>Das aktive Bild mit seinen letzten Druckeinstellungen drucken
Schnelldruck</translation>
    </message>
    <message>
        <source>Show the printed page
Print Preview</source>
        <translation>Die gedruckte Seite anzeigen
Druckvorschau</translation>
    </message>
    <message>
        <source>Choose the printer and its options
Print Setup</source>
        <translation>Den Drucker und seine Optionen wählen
Druckereinrichtung</translation>
    </message>
    <message>
        <source>Mirror the image left to right
Mirror Horizontal</source>
        <translation>Das Bild von links nach rechts spiegeln
Horizontal spiegeln</translation>
    </message>
    <message>
        <source>Mirror the image top to bottom
Mirror Vertical</source>
        <translation>Das Bild von oben nach unten spiegeln
Vertikal spiegeln</translation>
    </message>
    <message>
        <source>Mirror the image about its diagonal
Mirror Diagonal</source>
        <translation>Das Bild an seiner Diagonale spiegeln
Diagonal spiegeln</translation>
    </message>
    <message>
        <source>Rotate the image counter-clockwise by a quarter turn
Rotate Left</source>
        <translation>Das Bild um eine Vierteldrehung gegen den Uhrzeigersinn drehen
Nach links drehen</translation>
    </message>
    <message>
        <source>Rotate the image clockwise by a quarter turn
Rotate Right</source>
        <translation>Das Bild um eine Vierteldrehung im Uhrzeigersinn drehen
Nach rechts drehen</translation>
    </message>
    <message>
        <source>Display the image enlarged 2 times
Zoom x2</source>
        <translation>Das Bild 2fach vergrößert anzeigen
Zoom x2</translation>
    </message>
    <message>
        <source>Display the image enlarged 3 times
Zoom x3</source>
        <translation>Das Bild 3fach vergrößert anzeigen
Zoom x3</translation>
    </message>
    <message>
        <source>Display the image enlarged 4 times
Zoom x4</source>
        <translation>Das Bild 4fach vergrößert anzeigen
Zoom x4</translation>
    </message>
    <message>
        <source>Display the image enlarged 5 times
Zoom x5</source>
        <translation>Das Bild 5fach vergrößert anzeigen
Zoom x5</translation>
    </message>
    <message>
        <source>Display the image enlarged 6 times
Zoom x6</source>
        <translation>Das Bild 6fach vergrößert anzeigen
Zoom x6</translation>
    </message>
    <message>
        <source>Display the image enlarged 7 times
Zoom x7</source>
        <translation>Das Bild 7fach vergrößert anzeigen
Zoom x7</translation>
    </message>
    <message>
        <source>Display the image enlarged 8 times
Zoom x8</source>
        <translation>Das Bild 8fach vergrößert anzeigen
Zoom x8</translation>
    </message>
    <message>
        <source>Display the image enlarged 9 times
Zoom x9</source>
        <translation>Das Bild 9fach vergrößert anzeigen
Zoom x9</translation>
    </message>
    <message>
        <source>Display the image enlarged 10 times
Zoom x10</source>
        <translation>Das Bild 10fach vergrößert anzeigen
Zoom x10</translation>
    </message>
    <message>
        <source>Display the image enlarged 11 times
Zoom x11</source>
        <translation>Das Bild 11fach vergrößert anzeigen
Zoom x11</translation>
    </message>
    <message>
        <source>Display the image enlarged 12 times
Zoom x12</source>
        <translation>Das Bild 12fach vergrößert anzeigen
Zoom x12</translation>
    </message>
    <message>
        <source>Display the image enlarged 13 times
Zoom x13</source>
        <translation>Das Bild 13fach vergrößert anzeigen
Zoom x13</translation>
    </message>
    <message>
        <source>Display the image enlarged 14 times
Zoom x14</source>
        <translation>Das Bild 14fach vergrößert anzeigen
Zoom x14</translation>
    </message>
    <message>
        <source>Display the image enlarged 15 times
Zoom x15</source>
        <translation>Das Bild 15fach vergrößert anzeigen
Zoom x15</translation>
    </message>
    <message>
        <source>Display the image enlarged 16 times
Zoom x16</source>
        <translation>Das Bild 16fach vergrößert anzeigen
Zoom x16</translation>
    </message>
    <message>
        <source>Display the image reduced to 1/2
Zoom 1/2</source>
        <translation>Das Bild auf 1/2 verkleinert anzeigen
Zoom 1/2</translation>
    </message>
    <message>
        <source>Display the image reduced to 1/3
Zoom 1/3</source>
        <translation>Das Bild auf 1/3 verkleinert anzeigen
Zoom 1/3</translation>
    </message>
    <message>
        <source>Display the image reduced to 1/4
Zoom 1/4</source>
        <translation>Das Bild auf 1/4 verkleinert anzeigen
Zoom 1/4</translation>
    </message>
    <message>
        <source>Display the image reduced to 1/5
Zoom 1/5</source>
        <translation>Das Bild auf 1/5 verkleinert anzeigen
Zoom 1/5</translation>
    </message>
    <message>
        <source>Display the image reduced to 1/6
Zoom 1/6</source>
        <translation>Das Bild auf 1/6 verkleinert anzeigen
Zoom 1/6</translation>
    </message>
    <message>
        <source>Display the image reduced to 1/7
Zoom 1/7</source>
        <translation>Das Bild auf 1/7 verkleinert anzeigen
Zoom 1/7</translation>
    </message>
    <message>
        <source>Display the image reduced to 1/8
Zoom 1/8</source>
        <translation>Das Bild auf 1/8 verkleinert anzeigen
Zoom 1/8</translation>
    </message>
    <message>
        <source>Display the image reduced to 1/9
Zoom 1/9</source>
        <translation>Das Bild auf 1/9 verkleinert anzeigen
Zoom 1/9</translation>
    </message>
    <message>
        <source>Display the image reduced to 1/10
Zoom 1/10</source>
        <translation>Das Bild auf 1/10 verkleinert anzeigen
Zoom 1/10</translation>
    </message>
    <message>
        <source>Display the image reduced to 1/11
Zoom 1/11</source>
        <translation>Das Bild auf 1/11 verkleinert anzeigen
Zoom 1/11</translation>
    </message>
    <message>
        <source>Display the image reduced to 1/12
Zoom 1/12</source>
        <translation>Das Bild auf 1/12 verkleinert anzeigen
Zoom 1/12</translation>
    </message>
    <message>
        <source>Display the image reduced to 1/13
Zoom 1/13</source>
        <translation>Das Bild auf 1/13 verkleinert anzeigen
Zoom 1/13</translation>
    </message>
    <message>
        <source>Display the image reduced to 1/14
Zoom 1/14</source>
        <translation>Das Bild auf 1/14 verkleinert anzeigen
Zoom 1/14</translation>
    </message>
    <message>
        <source>Display the image reduced to 1/15
Zoom 1/15</source>
        <translation>Das Bild auf 1/15 verkleinert anzeigen
Zoom 1/15</translation>
    </message>
    <message>
        <source>Display the image reduced to 1/16
Zoom 1/16</source>
        <translation>Das Bild auf 1/16 verkleinert anzeigen
Zoom 1/16</translation>
    </message>
    <message>
        <source>Show the image at its actual size
Actual Size</source>
        <translation>Das Bild in Originalgröße anzeigen
Originalgröße</translation>
    </message>
    <message>
        <source>Fit the image in its window
Fit In Window</source>
        <translation>Das Bild in sein Fenster einpassen
In Fenster einpassen</translation>
    </message>
    <message>
        <source>Show the image on the full screen
Full Screen</source>
        <translation>Das Bild auf dem ganzen Bildschirm anzeigen
Vollbild</translation>
    </message>
    <message>
        <source>Show or hide the icon bar
Toggle Iconbar</source>
        <translation>Die Symbolleiste ein- oder ausblenden
Symbolleiste ein/aus</translation>
    </message>
    <message>
        <source>Show or hide the status bar
Toggle Status Bar</source>
        <translation>Die Statusleiste ein- oder ausblenden
Statusleiste ein/aus</translation>
    </message>
    <message>
        <source>Enlarge the display
Zoom In</source>
        <translation>Die Anzeige vergrößern
Vergrößern</translation>
    </message>
    <message>
        <source>Reduce the display
Zoom Out</source>
        <translation>Die Anzeige verkleinern
Verkleinern</translation>
    </message>
    <message>
        <source>System and Document Information
Information</source>
        <translation>Informationen zu System und Dokument
Informationen</translation>
    </message>
    <message>
        <source>Arrange the windows so they overlap
Cascade</source>
        <translation>Die Fenster überlappend anordnen
Überlappend</translation>
    </message>
    <message>
        <source>Arrange the windows as tiles
Tile</source>
        <translation>Die Fenster nebeneinander anordnen
Nebeneinander</translation>
    </message>
    <message>
        <source>Arrange the icons of minimised windows
Arrange Icons</source>
        <translation>Die Symbole minimierter Fenster anordnen
Symbole anordnen</translation>
    </message>
    <message>
        <source>Show the help contents
Help Index</source>
        <translation>Den Inhalt der Hilfe anzeigen
Hilfe-Inhalt</translation>
    </message>
    <message>
        <source>Show the keyboard help
Keyboard</source>
        <translation>Die Hilfe zur Tastatur anzeigen
Tastatur</translation>
    </message>
    <message>
        <source>Show the summary of the icons
Icon Summary</source>
        <translation>Die Übersicht der Symbole anzeigen
Symbolübersicht</translation>
    </message>
    <message>
        <source>Show how to use help
Using Help</source>
        <translation>Zeigen, wie die Hilfe verwendet wird
Hilfe verwenden</translation>
    </message>
    <message>
        <source>Show the program title and version
About</source>
        <translation>Programmname und Version anzeigen
Über</translation>
    </message>
    <message>
        <source>Import an image file
Import</source>
        <translation>Eine Bilddatei importieren
Importieren</translation>
    </message>
    <message>
        <source>Open this image
Recent File</source>
        <translation>Dieses Bild öffnen
Zuletzt geöffnete Datei</translation>
    </message>
    <message>
        <source>Quit the application
Exit</source>
        <translation>Das Programm beenden
Beenden</translation>
    </message>
    <message>
        <source>Invalid filename.</source>
        <translation>Ungültiger Dateiname.</translation>
    </message>
    <message>
        <source>Failed to save document.</source>
        <translation>Das Dokument konnte nicht gespeichert werden.</translation>
    </message>
    <message>
        <source>Save changes to %1?</source>
        <translation>Änderungen an %1 speichern?</translation>
    </message>
    <message>
        <source>Command failed.</source>
        <translation>Der Befehl ist fehlgeschlagen.</translation>
    </message>
    <message>
        <source>Please enter an integer between %1 and %2.</source>
        <translation>Bitte geben Sie eine ganze Zahl zwischen %1 und %2 ein.</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Anhalten</translation>
    </message>
    <message>
        <source>%1 is still being worked on. Stop the work and close it?</source>
        <translation>An %1 wird noch gearbeitet. Die Arbeit anhalten und schließen?</translation>
    </message>
    <message>
        <source>Work is still running. Stop it and quit?</source>
        <translation>Es wird noch gearbeitet. Die Arbeit anhalten und das Programm beenden?</translation>
    </message>
    <message>
        <source>The oldest changes can no longer be undone: the undo history reached its disk limit or the disk is full.</source>
        <translation>Die ältesten Änderungen können nicht mehr rückgängig gemacht werden: Der Verlauf hat seine Grenze auf dem Datenträger erreicht, oder der Datenträger ist voll.</translation>
    </message>
    <message>
        <source>The image is all border: trimming would leave nothing.</source>
        <translation>Das Bild besteht nur aus Rand: Nach dem Entfernen bliebe nichts übrig.</translation>
    </message>
    <message>
        <source>The image has no border to trim.</source>
        <translation>Das Bild hat keinen Rand, der entfernt werden könnte.</translation>
    </message>
    <message>
        <source>The selection does not lie on the image.</source>
        <translation>Die Auswahl liegt nicht auf dem Bild.</translation>
    </message>
    <message>
        <source>Selection: %s x %s</source>
        <translation>Auswahl: %s x %s</translation>
    </message>
    <message>
        <source>Cut the image down to the selected rectangle
Crop to Selection</source>
        <translation>Das Bild auf das ausgewählte Rechteck zuschneiden
Auf Auswahl zuschneiden</translation>
    </message>
    <message>
        <source>Remove the empty border of one colour around the image
Trim Border</source>
        <translation>Den leeren, einfarbigen Rand um das Bild entfernen
Rand entfernen</translation>
    </message>
    <message>
        <source>Select a rectangle by dragging; Escape drops it
Select Area</source>
        <translation>Ein Rechteck durch Ziehen auswählen; Esc verwirft es
Bereich auswählen</translation>
    </message>
    <message>
        <source>Take back the last change to the image
Undo</source>
        <translation>Die letzte Änderung am Bild zurücknehmen
Rückgängig</translation>
    </message>
    <message>
        <source>Make the change taken back again
Redo</source>
        <translation>Die zurückgenommene Änderung erneut ausführen
Wiederholen</translation>
    </message>
    <message>
        <source>Join the scans of one picture, any number of pieces, in one run
Stitch Many</source>
        <translation>Die Scans eines Bildes, beliebig viele Teile, in einem Durchgang zusammenfügen
Mehrere zusammenfügen</translation>
    </message>
</context>
<context>
    <name>ViewText</name>
    <message>
        <source>Horizontal ruler</source>
        <translation>Waagerechtes Lineal</translation>
    </message>
    <message>
        <source>Vertical ruler</source>
        <translation>Senkrechtes Lineal</translation>
    </message>
    <message>
        <source>Full Screen</source>
        <translation>Vollbild</translation>
    </message>
    <message>
        <source>Picture</source>
        <translation>Bild</translation>
    </message>
</context>
</TS>
