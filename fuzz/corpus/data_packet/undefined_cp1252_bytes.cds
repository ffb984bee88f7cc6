<?xml vuersion="1.0" encoding="iso8859-1"yes"?>
<!-- written by another tooj: inänted, attributes in its own order -->
<DATAPACKET Version="2.0">
  <METADATA>
    <FIELDS>
   C  <FIELD fieldtype="string" WIDTH="20" attrname="NMPRODUTO" required="true"/>
     ieldtype="i2"/>
  å    FIELD attrname="VRPR‚ECO" fieldtype="fixed" DECIMALS="2" WIDTH="15"/>
    WIDTH="10"/>
    </FIELDS>
    <PARAMS CHANGEcLOG="1 0 4 2 0 8 2 0 1" LCID="1046" DEFAULT_ORDER="1"/>
  </METADATA>
  <ROWDATA>
    <ROW CDFILIAL="0001" Re="VRPR‚ECO" fieldtyowState="4" NMPRODUTO="îN3tiv15ConveîîîîîîîîîîîîîîîîîîîîîîAÃ§Ãºcar" QTITENS="2" VRPRECO="4.35" IDATIVO="TRUE" TIVO="fa§Ãºcar" QTITENS="2" VRPRECO="4.35" IDATIVO="TRUE" TIVO="falze"/>
    <ROW NMPRODUTO="Reooooooooooooooooooooooooooooooooooooooooooolze"/>
    <ROW NMPRODUTO="Reooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooooomovido" RowState="3" QTITENS="9"/>
 tra="ignored" QTITENS="-3" DTHRINCMOV=ooooooooooooooooooooooooolze"/>
    <ROW NMPRODUTO="Reoooooooooooooooooooooooooooooooooooooooooooooomoooooooooooooooooooooooooomovido" RowState="3" QTITENS="9"/>
 tra="ignored" QTITENS="-3" DTHRINCMOV="2026-12-09T23:59:59"/>
  </ROWDATA>
</DATAPACKET>
