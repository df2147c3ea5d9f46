Attribute VB_Name = "Quarnels"
' Quarnels64.dll for 64-bit Office: the library's 18 functions, a worksheet function for each
' (named like the library's function with a "Q" in front), the macro SignIn and the macro
' RefreshQuarnels.
'
' Import it in the VBA editor with File > Import File, into a workbook saved as .xlsm. Remove an
' older Quarnels module first (right-click it, Remove Quarnels): imported beside it, this one is
' named "Quarnels1" and every name stands twice ("Ambiguous name detected").
'
' Office finds the DLL on the PATH or in the current folder, not in the workbook's folder (see the
' README). To name its place instead, replace "Quarnels64.dll" in the 18 Lib clauses below by its
' full path, for example "C:\Quarnels\Quarnels64.dll" (Edit > Replace, in the current module).
'
' Run SignIn once (from a button, for example) before the sheet recalculates live data.
'
' The Q functions are not volatile: Excel calls them again only when one of their arguments
' changes, so F9 leaves them as they are and a workbook opened again shows the numbers it was saved
' with. Ctrl+Alt+F9 or the macro RefreshQuarnels recalculates them all. The library answers from
' what it downloaded for 15 minutes (market prices, assets, transactions, industry jobs), and a
' download that failed is not tried again for a minute. When the web API itself fails (no answer,
' its daily downtime around 11:00 UTC), every download is held for up to a minute: meanwhile the
' live functions answer 0, except from data downloaded within the last 15 minutes and from your
' own orders and the skills.
'
' Hubs are "Amarr", "Jita", "Dodixie", "Rens" and "Hek", in any letter case. QGetMarket answers 0
' for any other hub, an empty one included. QGetPersonalOrders and QGetTransactionAmount take an
' empty hub, and also one they do not know such as the misspelt "Jitta", for every location: such a
' total counts every station and comes out too large. "other" there means every location but the
' five hubs.
Option Explicit

' The library's names are case-sensitive, while the VBA editor gives a name the letter case it was
' last typed in anywhere in the project (a variable "blueprint" would turn a declared "Blueprint"
' into "blueprint", and the call would fail with error 453). So each function is declared under its
' name with "Dll" in front, and its Alias names the library's function exactly: the editor never
' changes the text of an Alias. The test function is exported under a decorated name and declared
' privately, for QTest only.

Private Declare PtrSafe Function DllTest Lib "Quarnels64.dll" Alias "?Test@@YAHPEAPEAD@Z" (ByRef sample As String) As Long
Public Declare PtrSafe Function DllGetDLLVersion Lib "Quarnels64.dll" Alias "GetDLLVersion" () As String
Public Declare PtrSafe Function DllGetVolume Lib "Quarnels64.dll" Alias "GetVolume" (ByRef itemName As String) As Double
Public Declare PtrSafe Function DllBlueprint Lib "Quarnels64.dll" Alias "Blueprint" (ByRef productName As String, ByRef materialNames() As String, ByRef materialAmounts() As Long, ByRef portion As Integer) As Long
Public Declare PtrSafe Function DllGetMaterialName Lib "Quarnels64.dll" Alias "GetMaterialName" (ByRef productName As String, ByRef position As Integer) As String
Public Declare PtrSafe Function DllGetMaterialAmount Lib "Quarnels64.dll" Alias "GetMaterialAmount" (ByRef productName As String, ByRef materialName As String, ByRef quantity As Long, ByRef mePercent As Double) As Long
Public Declare PtrSafe Function DllGetMaterialTypes Lib "Quarnels64.dll" Alias "GetMaterialTypes" (ByRef productName As String) As Long
Public Declare PtrSafe Function DllGetInventionItem Lib "Quarnels64.dll" Alias "GetInventionItem" (ByRef inventedItem As String, ByRef position As Integer) As String
Public Declare PtrSafe Function DllGetInventionAmount Lib "Quarnels64.dll" Alias "GetInventionAmount" (ByRef inventedItem As String, ByRef datacore As String) As Long
Public Declare PtrSafe Function DllGetInventionRuns Lib "Quarnels64.dll" Alias "GetInventionRuns" (ByRef inventedItem As String, ByRef decryptor As String) As Long
Public Declare PtrSafe Function DllGetInventionME Lib "Quarnels64.dll" Alias "GetInventionME" (ByRef inventedItem As String, ByRef decryptor As String) As Long
Public Declare PtrSafe Function DllGetInventionChance Lib "Quarnels64.dll" Alias "GetInventionChance" (ByRef inventedItem As String, ByRef decryptor As String) As Double
Public Declare PtrSafe Function DllGetMarket Lib "Quarnels64.dll" Alias "GetMarket" (ByRef hubName As String, ByRef itemName As String, ByRef sell As Integer, ByRef quantity As Long) As Double
Public Declare PtrSafe Function DllGetProduction Lib "Quarnels64.dll" Alias "GetProduction" (ByRef itemName As String) As Long
Public Declare PtrSafe Function DllGetAssets Lib "Quarnels64.dll" Alias "GetAssets" (ByRef itemName As String, ByRef containerName As String) As Long
Public Declare PtrSafe Function DllGetPersonalOrders Lib "Quarnels64.dll" Alias "GetPersonalOrders" (ByRef hubName As String, ByRef itemName As String, ByRef sell As Integer) As Long
Public Declare PtrSafe Function DllGetTransactionAmount Lib "Quarnels64.dll" Alias "GetTransactionAmount" (ByRef itemName As String, ByRef hubName As String, ByRef days As Integer, ByRef sold As Integer) As Long
Public Declare PtrSafe Function DllGetUser Lib "Quarnels64.dll" Alias "GetUser" (ByRef characterName As String) As Long

' The library reads a flag as a 16-bit number, and its "sold" counts sales only when it is 1, while
' a cell's TRUE arrives as -1. So every wrapper passes 1 for anything true and 0 otherwise.
Private Function FlagArg(ByVal flag As Variant) As Integer
    If CBool(flag) Then FlagArg = 1 Else FlagArg = 0
End Function

' The text with "x" as its first character: shows that the library answers.
Public Function QTest(ByVal sample As Variant) As String
    Dim sampleArg As String
    sampleArg = CStr(sample)
    DllTest sampleArg
    QTest = sampleArg
End Function

' The library's version, "1,0,0,7".
Public Function QGetDLLVersion() As String
    QGetDLLVersion = DllGetDLLVersion()
End Function

' Cubic metres of one unit of the item.
Public Function QGetVolume(ByVal itemName As Variant) As Double
    Dim itemArg As String
    itemArg = CStr(itemName)
    QGetVolume = DllGetVolume(itemArg)
End Function

' The bill of materials of one run as a table of 26 rows and 2 columns: first "Units per run" with
' the units that one run makes, then the 25 material places (name and quantity per run; unused
' places blank and 0). Excel 365 spills it; elsewhere select 26 x 2 cells, type the formula and
' press Ctrl+Shift+Enter. A name that is no manufactured item gives 0 units and an empty list.
Public Function QBlueprint(ByVal productName As Variant) As Variant
    Dim productArg As String
    Dim materialNames(0 To 24) As String
    Dim materialAmounts(0 To 24) As Long
    Dim portion As Integer
    Dim table(1 To 26, 1 To 2) As Variant
    Dim slot As Integer
    productArg = CStr(productName)
    DllBlueprint productArg, materialNames, materialAmounts, portion
    table(1, 1) = "Units per run"
    table(1, 2) = portion
    For slot = 0 To 24
        table(slot + 2, 1) = materialNames(slot)
        table(slot + 2, 2) = materialAmounts(slot)
    Next slot
    QBlueprint = table
End Function

' The name of material 1 to 25 of the product's bill.
Public Function QGetMaterialName(ByVal productName As Variant, ByVal position As Variant) As String
    Dim productArg As String
    Dim positionArg As Integer
    productArg = CStr(productName)
    positionArg = CInt(position)
    QGetMaterialName = DllGetMaterialName(productArg, positionArg)
End Function

' Units of the material needed for the wanted quantity of the product, at a material efficiency in
' percent (10 for ME 10; 0 when left out).
Public Function QGetMaterialAmount(ByVal productName As Variant, ByVal materialName As Variant, ByVal quantity As Variant, Optional ByVal mePercent As Variant = 0) As Long
    Dim productArg As String
    Dim materialArg As String
    Dim quantityArg As Long
    Dim meArg As Double
    productArg = CStr(productName)
    materialArg = CStr(materialName)
    quantityArg = CLng(quantity)
    meArg = CDbl(mePercent)
    QGetMaterialAmount = DllGetMaterialAmount(productArg, materialArg, quantityArg, meArg)
End Function

' How many materials the product's bill has.
Public Function QGetMaterialTypes(ByVal productName As Variant) As Long
    Dim productArg As String
    productArg = CStr(productName)
    QGetMaterialTypes = DllGetMaterialTypes(productArg)
End Function

' The name of datacore 1 or 2 of an invention. inventedItem is the item that the invented
' blueprint copy makes, for example "Small Shield Extender II".
Public Function QGetInventionItem(ByVal inventedItem As Variant, ByVal position As Variant) As String
    Dim inventedArg As String
    Dim positionArg As Integer
    inventedArg = CStr(inventedItem)
    positionArg = CInt(position)
    QGetInventionItem = DllGetInventionItem(inventedArg, positionArg)
End Function

' Units of the datacore that the invention needs (0 when it needs no such datacore).
Public Function QGetInventionAmount(ByVal inventedItem As Variant, ByVal datacore As Variant) As Long
    Dim inventedArg As String
    Dim datacoreArg As String
    inventedArg = CStr(inventedItem)
    datacoreArg = CStr(datacore)
    QGetInventionAmount = DllGetInventionAmount(inventedArg, datacoreArg)
End Function

' Runs of the invented copy, the decryptor's runs added (no decryptor when it is left out or empty).
Public Function QGetInventionRuns(ByVal inventedItem As Variant, Optional ByVal decryptor As Variant = "") As Long
    Dim inventedArg As String
    Dim decryptorArg As String
    inventedArg = CStr(inventedItem)
    decryptorArg = CStr(decryptor)
    QGetInventionRuns = DllGetInventionRuns(inventedArg, decryptorArg)
End Function

' Material efficiency of the invented copy: 2, or what the decryptor makes of it (no decryptor when
' it is left out or empty).
Public Function QGetInventionME(ByVal inventedItem As Variant, Optional ByVal decryptor As Variant = "") As Long
    Dim inventedArg As String
    Dim decryptorArg As String
    inventedArg = CStr(inventedItem)
    decryptorArg = CStr(decryptor)
    QGetInventionME = DllGetInventionME(inventedArg, decryptorArg)
End Function

' Chance of success (0.42 for 42 %) with the signed-in character's skills and the decryptor (no
' decryptor when it is left out or empty).
Public Function QGetInventionChance(ByVal inventedItem As Variant, Optional ByVal decryptor As Variant = "") As Double
    Dim inventedArg As String
    Dim decryptorArg As String
    inventedArg = CStr(inventedItem)
    decryptorArg = CStr(decryptor)
    QGetInventionChance = DllGetInventionChance(inventedArg, decryptorArg)
End Function

' What the quantity costs bought from the hub's sell orders (sell TRUE), or earns sold into its
' buy orders (sell FALSE); 0 when the orders do not cover it, and for a hub that is empty or not one
' of the five. Note the order: hub first.
Public Function QGetMarket(ByVal hubName As Variant, ByVal itemName As Variant, ByVal sell As Variant, ByVal quantity As Variant) As Double
    Dim hubArg As String
    Dim itemArg As String
    Dim sellArg As Integer
    Dim quantityArg As Long
    hubArg = CStr(hubName)
    itemArg = CStr(itemName)
    sellArg = FlagArg(sell)
    quantityArg = CLng(quantity)
    QGetMarket = DllGetMarket(hubArg, itemArg, sellArg, quantityArg)
End Function

' Units of the item that the character's industry jobs make.
Public Function QGetProduction(ByVal itemName As Variant) As Long
    Dim itemArg As String
    itemArg = CStr(itemName)
    QGetProduction = DllGetProduction(itemArg)
End Function

' Units of the item lying inside containers of that name, the character's and the corporation's;
' inside any container when the name is left out or empty. Only items inside a container count:
' stock in a station hangar or in a ship's cargo never does.
Public Function QGetAssets(ByVal itemName As Variant, Optional ByVal containerName As Variant = "") As Long
    Dim itemArg As String
    Dim containerArg As String
    itemArg = CStr(itemName)
    containerArg = CStr(containerName)
    ' An empty String can be no text at all, which the library takes for a missing argument.
    If Len(containerArg) = 0 Then containerArg = ""
    QGetAssets = DllGetAssets(itemArg, containerArg)
End Function

' Units still open in the character's own sell orders (sell TRUE) or buy orders (sell FALSE) of the
' item at the hub: every place when the hub is empty or unknown (a misspelt hub counts everywhere),
' "other" for every place but the five hubs.
Public Function QGetPersonalOrders(ByVal hubName As Variant, ByVal itemName As Variant, ByVal sell As Variant) As Long
    Dim hubArg As String
    Dim itemArg As String
    Dim sellArg As Integer
    hubArg = CStr(hubName)
    itemArg = CStr(itemName)
    sellArg = FlagArg(sell)
    QGetPersonalOrders = DllGetPersonalOrders(hubArg, itemArg, sellArg)
End Function

' Units of the item sold (sold TRUE) or bought (sold FALSE) at the hub in the last days: every place
' when the hub is empty or unknown (a misspelt hub counts everywhere), "other" for every place but
' the five hubs. Note the order: item first, then hub. The web API hands out only the most recent
' transactions (at most 2,500, and none older than 30 days), so a longer span finds nothing more.
Public Function QGetTransactionAmount(ByVal itemName As Variant, ByVal hubName As Variant, ByVal days As Variant, ByVal sold As Variant) As Long
    Dim itemArg As String
    Dim hubArg As String
    Dim daysArg As Integer
    Dim soldArg As Integer
    itemArg = CStr(itemName)
    hubArg = CStr(hubName)
    daysArg = CInt(days)
    soldArg = FlagArg(sold)
    QGetTransactionAmount = DllGetTransactionAmount(itemArg, hubArg, daysArg, soldArg)
End Function

' The signed-in character's name ("Not Authenticated" when there is none), or its id when asId is
' TRUE (the name when it is left out). Signs in first when nobody is signed in, like SignIn.
Public Function QGetUser(Optional ByVal asId As Variant = False) As Variant
    Dim characterName As String
    Dim characterId As Long
    characterId = DllGetUser(characterName)
    If CBool(asId) Then QGetUser = characterId Else QGetUser = characterName
End Function

' Signs a character in (the browser opens when no stored sign-in works) and shows who it is. Give
' it a button and run it before the sheet recalculates live data.
Public Sub SignIn()
    Dim characterName As String
    Dim characterId As Long
    characterId = DllGetUser(characterName)
    If characterId = 0 Then
        MsgBox "Nobody is signed in: " & characterName, vbExclamation, "Quarnels"
    Else
        MsgBox "Signed in as " & characterName & " (character " & characterId & ")", vbInformation, "Quarnels"
    End If
End Sub

' Recalculates every formula of every open workbook, the Q functions included, as Ctrl+Alt+F9 does.
' What the library downloaded less than 15 minutes ago is answered from memory.
Public Sub RefreshQuarnels()
    Application.CalculateFull
End Sub
