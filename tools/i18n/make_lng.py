#!/usr/bin/env python3
"""Writes the shipped language files data/sprache/deutsch.lng and english.lng.

Both files are made from the one table below, so they always hold the same
sections and keys in the same order. Like every data file of the program they
are Windows-1252 text with CR LF line ends; this source stays UTF-8 and the
encoding happens on writing (a text outside Windows-1252 stops the script).

    python3 tools/i18n/make_lng.py [output-dir]    (default: data/sprache)

Characters the program interprets inside the texts:
  MsgBox 4      one "#" where the quoted project name goes
  MsgBox 0, 13, 15, 21
                "|" is shown as a line break
  MsgBox 16     split at "|": the first two pieces are shown on two lines
  MsgBox 21     "[DATE]" becomes the date the order service sent
  eBayText 1, 2 "#" becomes the choice of the fee box
  Misc Bestellungstext, Confirmstatus
                split at "|" into their parts (see the entries)
  Rechnung      every key stands in the invoice page as "[key]" and is
                replaced only where it is written in exactly that case, so the
                keys are lower case; "[Zahldatum]" in a text becomes the due date
  Kontakt, Rechnung, shop
                go into the shop's word table, whose entries are joined with
                "|" and split at "=", and lose their double quotes: none of
                these may appear in those texts
Labels carry no trailing colon: the program adds it where the design caption
has one. A single "&" in an action marks its shortcut letter; "&&" shows "&".
"""

import os
import sys

# (key, German, English)
SECTIONS = [
    ("Actions", [
        ("mProjekt", "&Projekt", "&Project"),
        ("mNeu", "&Neu", "&New"),
        ("mOeffnen", "Ö&ffnen", "&Open..."),
        ("mImportieren", "&Importieren", "&Import..."),
        ("mSpeichern", "&Speichern", "&Save"),
        ("mSpeichernals", "S&peichern als", "Save &as..."),
        ("mEigenschaften", "&Eigenschaften", "P&roperties..."),
        ("mGestaltung", "&Gestaltung", "&Layout..."),
        ("mShopErstellen", "S&hop erstellen", "&Create shop..."),
        ("mShopAnsehen", "Sh&op ansehen", "&View shop"),
        ("mShopPublizieren", "Shop &veröffentlichen", "&Publish shop..."),
        ("mBeenden", "&Beenden", "E&xit"),
        ("mAnsicht", "&Ansicht", "&View"),
        ("mArtikelverw", "&Artikelverwaltung", "&Item management"),
        ("mBestellung", "&Bestellungseingang", "Incoming &orders"),
        ("mAccountmanager", "Accountmanager", "&Account manager"),
        ("mOptionen", "&Optionen", "&Options"),
        ("mEinstellungen", "&Einstellungen", "&Settings..."),
        ("mProfil", "&Profil", "&Profile..."),
        ("mHilfe", "&Hilfe", "&Help"),
        ("mInhalt", "&Inhalt", "&Contents"),
        ("mUeber", "Ü&ber", "&About"),
        ("mUmbenennen", "&Umbenennen", "&Rename"),
        ("mLoeschen", "&Löschen", "&Delete"),
        ("mHauptgruppe", "&Hauptgruppe", "Make &main group"),
        ("mMoveUp", "Nach &oben verschieben", "Move &up"),
        ("mMoveToGroup", "in andere &Gruppe verlegen", "Move to another &group"),
        ("mMoveDown", "Nach &unten verschieben", "Move &down"),
    ]),
    ("Labels", [
        ("Additional", "Zusatzbeschreibung", "Additional description"),
        ("Ansicht", "Standardansicht", "Default view"),
        ("BestNr", "Best.-Nr.", "Item no."),
        ("Bestellungseingang", "Bestellungseingang", "Incoming orders"),
        ("Bezeichnung", "Bezeichnung", "Item name"),
        ("Dokument", "DOKUMENT", "DOCUMENT"),
        ("Folder", "Ordner", "Folder"),
        ("Freihaus", "Freihauslieferung", "Free delivery from"),
        ("Frist", "Zahlungsfrist", "Payment term"),
        # Overwritten with the home currency's symbol at run time.
        ("Geld", "EUR", "EUR"),
        ("HFarbe", "Hintergrundfarbe", "Background colour"),
        ("Host", "Host", "Host"),
        ("Kopf", "KOPF", "HEADER"),
        ("Layout", "Layout", "Layout"),
        ("Login", "Login", "User name"),
        ("Passwort", "Passwort", "Password"),
        ("Port", "Port", "Port"),
        ("Porto", "Portokosten", "Shipping costs"),
        ("Preis", "Nettopreis", "Net price"),
        ("Preise", "Preise", "Prices"),
        ("Produktgrp", "Produktgruppe", "Product group"),
        ("Produktgruppe", "PRODUKTGRUPPE", "PRODUCT GROUP"),
        ("Project", "Projekt", "Project"),
        ("Rabatt", "Rabatt", "Discount"),
        ("Rechnungsnummer", "Rechnungsnummer", "Invoice number"),
        ("SArt", "Schriftart", "Font"),
        ("SFarbe", "Schriftfarbe", "Font colour"),
        ("ShopURL", "Shopadresse", "Shop address"),
        ("Sprache", "Sprache", "Language"),
        ("Staffel", "Staffel", "Level"),
        ("Tabelle", "TABELLE", "TABLE"),
        ("Tage", "Tage", "days"),
        ("Testung", "Testversion", "Test version"),
        ("UStModus", "Umsatzsteuer", "VAT"),
        ("Ueberschrift", "ÜBERSCHRIFT", "HEADING"),
        ("Versand", "Versand", "Shipping"),
        ("Verweis", "VERWEIS", "LINK"),
        ("Waehrung", "Währung", "Currency"),
        ("con_dialup", "Wählverbindung", "Dial-up connection"),
        ("con_direct", "Direktverbindung", "Direct connection"),
        ("con_proxy", "Proxyverbindung", "Proxy connection"),
        ("dialup_desc", "(Modem, ISDN, DSL, ...)", "(modem, ISDN, DSL, ...)"),
        ("direct_desc", "(Standleitung, Kabel, ...)", "(leased line, cable, ...)"),
        ("enter_an", "Rechnungsanschrift", "Billing address"),
        ("footer", "Fußzeile mit Bankverbindung", "Footer with bank details"),
        ("general", "Allgemein", "General"),
        ("header", "Kopfzeile mit Firmenanschrift", "Header with company address"),
        ("ipp", "Artikel pro Seite", "Items per page"),
        ("newcountry", "Neues Land hinzufügen", "Add a new country"),
        # The two entries of the VAT choice of the shop profile, after UStModus.
        ("vat_home", "Satz des Heimatlandes", "Home country's rate"),
        ("vat_dest", "Satz des Lieferlandes in der EU, steuerfrei außerhalb der EU",
         "Delivery country's rate in the EU, tax-free outside the EU"),
        ("order_an", "Lieferanschrift", "Delivery address"),
        ("properties", "PROJEKTEIGENSCHAFTEN", "PROJECT PROPERTIES"),
        ("proxy_desc", "(Netzwerk, ...)", "(network, ...)"),
        ("verpackung", "Verpackungspauschale", "Packaging flat rate"),
        ("z", "Ziel", "Target"),
        ("Anbieter", "Anbieter", "Provider"),
        ("Proxyserver", "Proxyserver", "Proxy server"),
    ]),
    ("Buttons", [
        ("Abbrechen", "Abbrechen", "Cancel"),
        ("Anwenden", "Anwenden", "Apply"),
        ("Bestellungen", "Bestellungen abholen", "Retrieve orders"),
        ("Delete", "Artikel entfernen", "Remove items"),
        ("Drucken", "Drucken", "Print"),
        ("Einfuegen", "Einfügen", "Insert"),
        ("Entfernen", "Entfernen", "Remove"),
        ("Ersetzen", "Ersetzen", "Replace"),
        ("Hinzufuegen", "Hinzufügen", "Add"),
        ("Import", "Artikel importieren", "Import items"),
        ("OK", "OK", "OK"),
        ("Schliessen", "Schließen", "Close"),
        ("createshop", "Shop Erstellen", "Create shop"),
        ("ebay", "Artikel bei eBay versteigern", "Auction item on eBay"),
        ("ftpconfig", "FTP konfigurieren", "Configure FTP"),
        ("publishshop", "Shop veröffentlichen", "Publish shop"),
        ("sell", "Artikel einstellen >>", "List item >>"),
        ("setqdiscount", "Rabattstaffeln festlegen", "Set discount levels"),
        ("viewshop", "Shop Ansehen", "View shop"),
    ]),
    ("Misc", [
        ("Allgemein", "ALLGEMEIN", "GENERAL"),
        ("Anfahrt", "Anfahrtsbeschreibung", "Directions"),
        ("Artikeldaten", "ARTIKELDATEN", "ITEM DETAILS"),
        ("Artikelverw", "Artikelverwaltung", "Item management"),
        ("Beschreibung", "Beschreibung", "Description"),
        ("Bestelleing", "Bestellungseingang", "Incoming orders"),
        ("Bild", "BILD", "PICTURE"),
        ("Connection", "Internetverbindung", "Internet connection"),
        ("Countries", "Länder", "Countries"),
        ("Countrysettings", "Ländereinstellungen", "Country settings"),
        ("Discounts", "Rabatte && Aktionen", "Discounts && promotions"),
        ("Element", "ELEMENT", "ELEMENT"),
        ("Erledigt", "Erledigt", "Done"),
        ("Fees", "Gebühren", "Fees"),
        ("Neu", "Neu", "New"),
        ("PriceUpdate", "Nur Preise aktualisieren", "Update prices only"),
        ("Primary", "Primär", "Main picture"),
        ("Rechnungsvorlage", "Rechnungsvorlage", "Invoice preview"),
        ("Vorschau", "VORSCHAU", "PREVIEW"),
        ("accountmanager", "Accountmanager", "Account manager"),
        ("askizze", "Anfahrtsskizze", "Directions map"),
        ("autocon", "autom. verbinden", "Connect automatically"),
        ("autodc", "autom. trennen", "Disconnect automatically"),
        ("euland", "Mitgliedsstaat der Europäischen Union",
         "Member state of the European Union"),
        ("flogo", "Firmenlogo", "Company logo"),
        ("kontakinfo", "Kontaktinformationen veröffentlichen", "Publish contact information"),
        ("newitems", "Hinzukommende Artikel", "New items"),
        ("olditems", "Ausgelaufene Artikel", "Discontinued items"),
        ("set_general", "Grundeinstellungen", "Basic settings"),
        ("set_shop_contact", "Benutzerdaten", "User data"),
        ("set_shop_discount", "Rabattstaffeln", "Discount levels"),
        ("set_shop_invoice", "Rechnungserstellung", "Invoicing"),
        ("set_shop_layout", "Gestaltung", "Layout"),
        ("set_shop_texts", "Texte", "Texts"),
        ("set_shop_texts_about", "Über uns", "About us"),
        ("set_shop_texts_faq", "FAQ", "FAQ"),
        ("set_shop_texts_gtc", "AGB", "Terms and conditions"),
        ("set_shop_texts_impressum", "Impressum", "Legal notice"),
        ("set_shop_texts_intro", "Begrüßung", "Welcome"),
        ("set_shop_texts_service", "Service", "Service"),
        ("shopsettings", "Shopeinstellungen", "Shop settings"),
        ("versandarten", "Versandarten", "Payment methods"),
        ("xxl", "Artikelbilder auch in XXL-Größe zur Verfügung stellen",
         "Also provide item pictures in XXL size"),
        ("ftpserver", "FTP-Server", "FTP server"),
        ("versandoptionen", "Versandoptionen", "Shipping options"),
        ("bankverbindung", "Bankverbindung", "Bank details"),
        # The captions of the order view's two address tabs.
        ("Bestellungstext", "Rechnungsanschrift|Lieferanschrift",
         "Billing address|Delivery address"),
        # Order not confirmed | order confirmed (shown on red and on green).
        ("Confirmstatus", "Bestellung nicht bestätigt|Bestellung bestätigt",
         "Order not confirmed|Order confirmed"),
        ("Bemerkungen", "Bemerkungen", "Remarks"),
    ]),
    # Address labels of the program and of the shop's order pages.
    ("Kontakt", [
        ("company", "Firma", "Company"),
        ("name", "Name", "Name"),
        ("firstname", "Vorname", "First name"),
        ("lastname", "Nachname", "Last name"),
        ("street", "Straße", "Street"),
        ("zip", "PLZ", "Postcode"),
        ("city", "Ort", "Town"),
        ("country", "Land", "Country"),
        ("phone", "Telefon", "Phone"),
        ("fax", "Fax", "Fax"),
        ("mobil", "Mobil", "Mobile"),
        ("email", "E-Mail", "E-mail"),
        ("homepage", "Homepage", "Website"),
    ]),
    # Captions of the dialogs, and the invoice page: the template's headings,
    # the delivery block, the sums and the bank block.
    ("Rechnung", [
        ("invoice", "Rechnung", "Invoice"),
        ("invoiceno", "Rechnungsnummer", "Invoice number"),
        ("ra", "Rechnungsanschrift", "Billing address"),
        ("la", "Lieferanschrift", "Delivery address"),
        ("position", "Pos.", "No."),
        ("description", "Bezeichnung", "Item"),
        ("orderno", "Best.-Nr.", "Item no."),
        ("quantity", "Menge", "Quantity"),
        ("price", "Preis", "Price"),
        # Heads the line totals and labels their sum before the discounts.
        ("subtotal", "Summe", "Total"),
        ("qdiscount", "Mengenrabatt", "Quantity discount"),
        ("pdiscount", "Preisrabatt", "Order value discount"),
        ("total", "Nettobetrag", "Net total"),
        # Stands before "16.00% [vat]" and before "[shipping]".
        ("excl", "zzgl.", "plus"),
        ("vat", "MwSt.", "VAT"),
        ("shipping", "Versandkosten", "Shipping"),
        ("subamount", "Zwischensumme", "Subtotal"),
        ("amount", "Rechnungsbetrag", "Invoice amount"),
        # Price captions "Preis (netto):", and the price display choices.
        ("net", "netto", "net"),
        ("gross", "brutto", "gross"),
        # Payment methods by the key word the order service sends, and their fees.
        ("vk", "Vorkasse", "Payment in advance"),
        ("nn", "Nachnahme", "Cash on delivery"),
        ("vk_fee", "Vorkassegebühr", "Prepayment fee"),
        ("nn_fee", "Nachnahmegebühr", "Cash on delivery fee"),
        ("thanks", "Vielen Dank für Ihre Bestellung!", "Thank you for your order!"),
        ("foot", "Zahlbar ohne Abzug bis zum [Zahldatum].",
         "Payable without deduction by [Zahldatum]."),
        ("bank", "Kreditinstitut", "Bank"),
        ("blz", "Bankleitzahl", "Bank code"),
        ("kto", "Kontonummer", "Account number"),
        ("iban", "IBAN", "IBAN"),
        ("bic", "BIC", "BIC"),
        ("taxnum", "Steuernummer", "Tax number"),
        ("taxid", "Umsatzsteuer-ID", "VAT ID"),
    ]),
    # Words of the generated shop. The first group is what the shop's own
    # scripts use; the rest is offered to the layout pages.
    ("shop", [
        ("dtl", "Detail", "Detail"),
        ("pro", "Vorschau", "Preview"),
        ("std", "Standard", "Standard"),
        ("exitwarning", "Möchten Sie den Shop wirklich verlassen? Ihr Warenkorb geht dabei verloren.",
         "Do you really want to leave the shop? The contents of your basket will be lost."),
        ("items", "Artikel", "items"),
        ("cartempty", "Der Warenkorb ist leer", "Your basket is empty"),
        ("page", "Seite", "Page"),
        ("of", "von", "of"),
        ("welcome", "Willkommen bei", "Welcome to"),
        ("loading", "Daten werden geladen", "Loading"),
        ("bepatient", "Bitte haben Sie einen Moment Geduld", "Please wait a moment"),
        ("no", "Nein", "No"),
        ("yes", "Ja", "Yes"),
        ("home", "Startseite", "Home"),
        ("categories", "Produktgruppen", "Product groups"),
        ("search", "Suchen", "Search"),
        ("nohits", "Es wurden keine passenden Artikel gefunden.", "No matching items were found."),
        ("details", "Details", "Details"),
        ("view", "Ansicht", "View"),
        ("selectcountry", "Land wählen", "Select country"),
        ("currency", "Währung", "Currency"),
        ("cart", "Warenkorb", "Basket"),
        ("addtocart", "In den Warenkorb", "Add to basket"),
        ("checkout", "Zur Kasse", "Checkout"),
        ("order", "Bestellen", "Order"),
        ("sendorder", "Bestellung absenden", "Send order"),
        ("faxorder", "Bestellung per Fax", "Order by fax"),
        ("payment", "Zahlungsart", "Payment method"),
        ("remarks", "Bemerkungen", "Remarks"),
        ("inclvat", "inkl. MwSt.", "incl. VAT"),
        ("exclvat", "zzgl. MwSt.", "excl. VAT"),
        ("plusshipping", "zzgl. Versandkosten", "plus shipping"),
        ("print", "Drucken", "Print"),
        ("back", "Zurück", "Back"),
        ("next", "Weiter", "Next"),
        ("contact", "Kontakt", "Contact"),
        ("about", "Über uns", "About us"),
        ("service", "Service", "Service"),
        ("gtc", "AGB", "Terms and conditions"),
        ("faq", "FAQ", "FAQ"),
        ("impressum", "Impressum", "Legal notice"),
        ("goodbye", "Vielen Dank für Ihren Besuch!", "Thank you for your visit!"),
        ("skip", "Zum Inhalt springen", "Skip to content"),
        ("mainnav", "Shop-Navigation", "Shop navigation"),
        ("searchterm", "Suchbegriff", "Search term"),
        ("prices", "Preise", "Prices"),
        ("settings", "Einstellungen", "Settings"),
        ("searchresults", "Suchergebnis für", "Search results for"),
        ("hits", "Treffer", "hits"),
        ("unitprice", "Einzelpreis", "Unit price"),
        ("remove", "Entfernen", "Remove"),
        ("increase", "Menge erhöhen", "Increase quantity"),
        ("decrease", "Menge verringern", "Decrease quantity"),
        ("inbasket", "Im Warenkorb", "In basket"),
        ("cartupdated", "Warenkorb aktualisiert", "Basket updated"),
        ("itemremoved", "Artikel entfernt", "Item removed"),
        ("continueshopping", "Weiter einkaufen", "Continue shopping"),
        ("from", "ab", "from"),
        ("pcs", "Stück", "pcs."),
        ("picture", "Bild", "Picture"),
        ("enlarge", "Vergrößern", "Enlarge"),
        ("newwindow", "öffnet in neuem Fenster", "opens in a new window"),
        ("otheraddress", "Lieferung an eine andere Anschrift", "Deliver to a different address"),
        ("fillin", "Bitte füllen Sie dieses Feld aus.", "Please fill in this field."),
        ("bademail", "Bitte geben Sie eine gültige E-Mail-Adresse ein.", "Please enter a valid e-mail address."),
        ("checkentries", "Bitte prüfen Sie Ihre Angaben:", "Please check your entries:"),
        ("optional", "freiwillig", "optional"),
        ("privacyconsent", "Ich habe die Datenschutzhinweise gelesen und bin einverstanden, dass meine Angaben zur Abwicklung der Bestellung verarbeitet werden.", "I have read the privacy notice and agree that my details are processed to handle my order."),
        ("privacyrequired", "Bitte stimmen Sie der Verarbeitung Ihrer Angaben zu.", "Please agree to the processing of your details."),
        ("verify", "Bestellung prüfen", "Check your order"),
        ("edit", "Ändern", "Change"),
        ("sending", "Ihre Bestellung wird gesendet …", "Sending your order …"),
        ("ordererror", "Ihre Bestellung konnte nicht gesendet werden. Ihr Warenkorb bleibt erhalten – bitte versuchen Sie es noch einmal.", "Your order could not be sent. Your basket has been kept – please try again."),
        ("tryagain", "Erneut senden", "Try again"),
        ("ordersent", "Ihre Bestellung ist bei uns eingegangen.", "We have received your order."),
        ("transfer", "Bitte überweisen Sie den Betrag auf dieses Konto:", "Please transfer the amount to this account:"),
        ("reference", "Verwendungszweck", "Payment reference"),
        ("taxfree", "steuerfrei (Ausfuhr)", "tax-free (export)"),
        ("nopayment", "Für dieses Land ist keine Zahlungsart eingerichtet. Wir melden uns nach Ihrer Bestellung bei Ihnen.", "No payment method is set up for this country. We will contact you after your order."),
        ("leave", "Shop verlassen", "Leave shop"),
        ("asof", "Stand", "Catalogue as of"),
        ("notext", "Dieser Text ist noch nicht verfügbar.", "This text is not available yet."),
        ("pages", "Seiten", "Pages"),
        ("prevpage", "Vorherige Seite", "Previous page"),
        ("nextpage", "Nächste Seite", "Next page"),
        ("equals", "entspricht", "equals"),
        ("address", "Anschrift", "Address"),
        ("done", "Fertig", "Done"),
        ("steps", "Bestellschritte", "Order steps"),
        ("faxto", "Bitte senden Sie dieses Formular per Fax an", "Please fax this form to"),
        ("signature", "Datum, Unterschrift", "Date, signature"),
        ("directions", "So finden Sie uns", "How to find us"),
        ("writeus", "Schreiben Sie uns", "Write to us"),
        ("totalgross", "Warenwert nach Rabatten", "Goods after discounts"),
        ("goods", "Warenwert", "Goods"),
        ("valuediscount", "Bestellwertrabatt", "Order value discount"),
        ("topay", "Zu zahlender Betrag", "Amount to pay"),
        ("freemissing", "Noch %s bis zur versandkostenfreien Lieferung", "%s more for free delivery"),
        ("countryhint", "Das Lieferland wählen Sie oben unter „Land wählen“.", "Choose the delivery country at the top under “Select country”."),
        ("itemlist", "Artikelübersicht", "Items"),
        ("choosepayment", "Bitte wählen Sie eine Zahlungsart für dieses Lieferland.",
         "Please choose a payment method for this delivery country."),
    ]),
    ("MsgBox", [
        ("0", "Es besteht zurzeit keine Verbindung zum Internet.|Möchten Sie die Wählverbindung jetzt herstellen?",
         "There is currently no connection to the internet.|Do you want to dial up now?"),
        ("1", "Bitte wählen Sie zuerst eine Produktgruppe aus.",
         "Please select a product group first."),
        ("2", "Bitte geben Sie Bezeichnung, Bestellnummer und Preis des Artikels ein.",
         "Please enter the item's name, item number and price."),
        ("3", "Bitte wählen Sie zuerst einen Artikel in der Liste aus.",
         "Please select an item in the list first."),
        ("4", "Möchten Sie die Änderungen an # speichern?",
         "Do you want to save the changes to #?"),
        ("5", "Der Shop wurde noch nicht erstellt. Bitte erstellen Sie ihn zuerst mit „Projekt > Shop erstellen“.",
         "The shop has not been created yet. Please create it first with Project > Create shop."),
        ("6", "Möchten Sie die ausgewählte Produktgruppe mit allen Artikeln löschen?",
         "Do you want to delete the selected product group and all its items?"),
        ("7", "Diese Bestellnummer ist in der Produktgruppe bereits vergeben.",
         "This item number is already used in the product group."),
        ("8", "Bitte ordnen Sie jedem der vier Felder eine Spalte zu.",
         "Please assign a column to each of the four fields."),
        ("9", "Die Datei enthält keine Daten, die importiert werden können.",
         "The file contains no data that can be imported."),
        ("10", "Der Import ist abgeschlossen.",
         "The import is complete."),
        ("11", "Die ausgewählten Artikel wurden aus dem Katalog entfernt.",
         "The selected items have been removed from the catalogue."),
        ("12", "Die Preise wurden aktualisiert. Bitte prüfen Sie die hinzukommenden und die ausgelaufenen Artikel.",
         "The prices have been updated. Please check the new and the discontinued items."),
        ("13", "Eine Produktgruppe mit diesem Namen ist bereits vorhanden.|Sollen die Artikel beider Gruppen zusammengeführt werden?",
         "A product group with this name already exists.|Do you want to merge the items of both groups?"),
        ("14", "Im Übersetzungsmodus können Produktgruppen nur umbenannt werden.",
         "In translation mode product groups can only be renamed."),
        ("15", "Quillane wurde beim letzten Mal nicht ordnungsgemäß beendet.|Möchten Sie das zuletzt bearbeitete Projekt wiederherstellen?",
         "Quillane was not closed properly last time.|Do you want to recover the project you were working on?"),
        ("16", "Bitte geben Sie die Adresse Ihres Shops ein.|Sie wird für die Links und Bilder der Auktion benötigt.",
         "Please enter the address of your shop.|It is needed for the links and pictures of the auction."),
        ("17", "Bitte geben Sie bei „Artikel pro Seite“ nur ganze Zahlen ein.",
         "Please enter only whole numbers for the items per page."),
        ("18", "Bitte vervollständigen Sie zunächst Ihre Grundeinstellungen, bevor Sie einen Shop erstellen.",
         "Please complete your basic settings before you create a shop."),
        ("19", "Bitte geben Sie zuerst unter „Optionen > Einstellungen“ die Daten Ihres FTP-Servers ein.",
         "Please enter the details of your FTP server under Options > Settings first."),
        ("20", "Bitte vervollständigen Sie zunächst Ihre Grundeinstellungen",
         "Please complete your basic settings first"),
        ("21", "Diese Bestellung wurde am [DATE] in die Warteschlange des Bestelldienstes gestellt.|Bitte prüfen Sie ihren Status, bevor Sie die Ware versenden.",
         "This order was placed in the order service's queue on [DATE].|Please check its status before you dispatch the goods."),
        ("22", "Möchten Sie die ausgewählte Bestellung endgültig löschen?",
         "Do you want to delete the selected order permanently?"),
        ("23", "Bitte geben Sie zuerst eine Rechnungsnummer ein.",
         "Please enter an invoice number first."),
        ("24", "Die Bestellungen wurden abgerufen.",
         "Your orders have been retrieved."),
    ]),
    ("Status", [
        ("0", "Bereit", "Ready"),
        ("1", "Drücken Sie die Eingabetaste, um die Produktgruppe anzulegen.",
         "Press Enter to create the product group."),
        ("2", "Doppelklicken Sie auf einen Artikel, um ihn zu bearbeiten.",
         "Double-click an item to edit it."),
        ("3", "Ändern Sie die Angaben und klicken Sie auf „Ersetzen“.",
         "Change the details and click Replace."),
        ("4", "Der Shop wurde erfolgreich erstellt.",
         "The shop has been created successfully."),
        ("5", "Der Shop wird erstellt ...", "Creating the shop..."),
        # Follows the item count: "12 Artikel".
        ("6", "Artikel", "items"),
    ]),
    ("ComboText", [
        # Column selectors of the import: "Spalte A", "Spalte B", ...
        ("0", "Spalte", "Column"),
        ("1", "(Spalte wählen)", "(select column)"),
        ("2", "(keine Hauptgruppe)", "(no main group)"),
        ("3", "(keine Untergruppe)", "(no subgroup)"),
        # Who bears the eBay fee and the shipping; they complete eBayText 1 and 2.
        ("4", "trägt der Verkäufer", "paid by the seller"),
        ("5", "trägt der Käufer", "paid by the buyer"),
    ]),
    ("eBayText", [
        # Shown in capitals as the link to the shop.
        ("0", "Besuchen Sie unseren Shop", "Visit our shop"),
        ("1", "Die eBay-Gebühren #.", "eBay fees are #."),
        ("2", "Die Versandkosten #.", "Shipping costs are #."),
        # The program turns the product name into a link.
        ("3", "Erstellt mit Quillane", "Created with Quillane"),
    ]),
]

LANGUAGES = (("deutsch", 1), ("english", 2))

# Sections whose entries the generator merges into the shop's word table.
WORD_SECTIONS = ("Kontakt", "Rechnung", "shop")

NUMBERED = {"MsgBox": 25, "Status": 7, "ComboText": 6, "eBayText": 4}


def check():
    """Stops on texts the program would misread."""
    problems = []
    words = {}
    for section, entries in SECTIONS:
        seen = set()
        for key, *texts in entries:
            if key.lower() in seen:
                problems.append(f"{section}: key {key} twice (keys ignore case)")
            seen.add(key.lower())
            for text in texts:
                where = f"{section} {key}: {text!r}"
                if text != text.strip() or "\n" in text or "\r" in text:
                    problems.append(f"{where}: blanks at the ends or a line break")
                if len(text) > 1 and text[0] == text[-1] and text[0] in "\"'":
                    problems.append(f"{where}: quotes around the text would be dropped")
                if section in WORD_SECTIONS and any(c in text for c in "|=\""):
                    problems.append(f"{where}: | = or a double quote breaks the shop's words")
            if section in WORD_SECTIONS:
                if key.lower() in words:
                    problems.append(f"{section} {key}: same word as in {words[key.lower()]}")
                words[key.lower()] = section
        if section == "Rechnung":
            problems += [f"Rechnung {k}: invoice keys must be lower case"
                         for k, *_ in entries if k != k.lower()]
        if section in NUMBERED:
            keys = [k for k, *_ in entries]
            if keys != [str(i) for i in range(NUMBERED[section])]:
                problems.append(f"{section}: keys must run from 0 to {NUMBERED[section] - 1}")
    table = {s: {k: t for k, *t in e} for s, e in SECTIONS}
    for lang, col in LANGUAGES:
        def text(section, key):
            return table[section][key][col - 1]
        if text("MsgBox", "4").count("#") != 1:
            problems.append(f"{lang}: MsgBox 4 needs exactly one #")
        if text("MsgBox", "16").count("|") != 1:
            problems.append(f"{lang}: MsgBox 16 needs two pieces")
        if "[DATE]" not in text("MsgBox", "21"):
            problems.append(f"{lang}: MsgBox 21 needs [DATE]")
        for key in ("1", "2"):
            if "#" not in text("eBayText", key):
                problems.append(f"{lang}: eBayText {key} needs #")
        if "quillane" not in text("eBayText", "3").lower():
            problems.append(f"{lang}: eBayText 3 must name the product")
        for key in ("Bestellungstext", "Confirmstatus"):
            if text("Misc", key).count("|") != 1:
                problems.append(f"{lang}: Misc {key} needs two parts")
    if problems:
        sys.exit("make_lng: " + "\n  ".join(problems))


def write(outdir):
    os.makedirs(outdir, exist_ok=True)
    for lang, col in LANGUAGES:
        lines = []
        for section, entries in SECTIONS:
            if lines:
                lines.append("")
            lines.append(f"[{section}]")
            lines += [f"{entry[0]}={entry[col]}" for entry in entries]
        path = os.path.join(outdir, lang + ".lng")
        with open(path, "w", encoding="cp1252", newline="\r\n") as f:
            f.write("\n".join(lines) + "\n")


def main():
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    outdir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "data", "sprache")
    check()
    write(outdir)


if __name__ == "__main__":
    main()
