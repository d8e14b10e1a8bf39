<?xml version="1.0" encoding="UTF-8"?>
<root>
  <info Version="7" Product="Kollage" Company="Kollage"/>
  <vrtpropage Version="4" ImageSizeX="2480" ImageSizeY="3508" BackDPI="300" BackUnitType="0" PageCount="1"/>
  <scenegraph ImageSizeX="2480" ImageSizeY="3508" BackDPI="300" BackUnitType="0" Landscape="0" Type="0" FillColor="16317178" FillColor2="15788516" ColorFillType="2">
    <sceneobject Type="1" Version="4" BoundingBoxLeft="590" BoundingBoxTop="170" BoundingBoxRight="1890" BoundingBoxBottom="372.8" Angle="0" Transparent="1.0" Visible="1" TextString="Our Summer" lfFaceName="DejaVu Serif" b_bold="0" lfItalic="1" lfUnderline="0" fcolor="7229500" align="1" EnableShadow="0" ShadowColor="0" ShadowAlpha="40" ShadowSmooth="6" ShadowAngle="315" ShadowOffsetX="4"/>
    <sceneobject Type="0" Version="4" BoundingBoxLeft="200" BoundingBoxTop="560" BoundingBoxRight="1490" BoundingBoxBottom="1760" Angle="0" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="8" EnableMask="0" EnableFrame="0" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8"/>
    <sceneobject Type="0" Version="4" BoundingBoxLeft="1560" BoundingBoxTop="560" BoundingBoxRight="2280" BoundingBoxBottom="1760" Angle="0" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="8" EnableMask="0" EnableFrame="0" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8"/>
    <sceneobject Type="0" Version="4" BoundingBoxLeft="200" BoundingBoxTop="1840" BoundingBoxRight="920" BoundingBoxBottom="3290" Angle="0" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="8" EnableMask="0" EnableFrame="0" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8"/>
    <sceneobject Type="0" Version="4" BoundingBoxLeft="990" BoundingBoxTop="1840" BoundingBoxRight="2280" BoundingBoxBottom="2540" Angle="0" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="8" EnableMask="0" EnableFrame="0" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8"/>
    <sceneobject Type="0" Version="4" BoundingBoxLeft="990" BoundingBoxTop="2610" BoundingBoxRight="2280" BoundingBoxBottom="3290" Angle="0" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="8" EnableMask="0" EnableFrame="0" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8"/>
  </scenegraph>
</root>
