<?xml version="1.0" encoding="UTF-8"?>
<root>
  <info Version="7" Product="Kollage" Company="Kollage"/>
  <vrtpropage Version="4" ImageSizeX="2551" ImageSizeY="3295" BackDPI="300" BackUnitType="0" PageCount="1"/>
  <scenegraph ImageSizeX="2551" ImageSizeY="3295" BackDPI="300" BackUnitType="0" Landscape="0" Type="1" Image="winter_night.jpg" ImageType="1">
    <sceneobject Type="0" Version="4" BoundingBoxLeft="475" BoundingBoxTop="1250" BoundingBoxRight="2075" BoundingBoxBottom="2650" Angle="0" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="0" EnableMask="0" EnableFrame="1" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8" BorderType="1" FrameName="classic_001.png"/>
    <sceneobject Type="1" Version="4" BoundingBoxLeft="275" BoundingBoxTop="330" BoundingBoxRight="2275" BoundingBoxBottom="503.3" Angle="0" Transparent="1.0" Visible="1" TextString="Season's Greetings" lfFaceName="DejaVu Serif" b_bold="0" lfItalic="0" lfUnderline="0" fcolor="16777215" align="1" EnableShadow="0" ShadowColor="0" ShadowAlpha="40" ShadowSmooth="6" ShadowAngle="315" ShadowOffsetX="4" IsGlowEnable="1" GlowColor="16763030" GlowPower="8" GlowRadius="20"/>
    <sceneobject Type="1" Version="4" BoundingBoxLeft="625" BoundingBoxTop="700" BoundingBoxRight="1925" BoundingBoxBottom="801.4" Angle="0" Transparent="1.0" Visible="1" TextString="and a happy new year" lfFaceName="DejaVu Serif" b_bold="0" lfItalic="1" lfUnderline="0" fcolor="16443090" align="1" EnableShadow="0" ShadowColor="0" ShadowAlpha="40" ShadowSmooth="6" ShadowAngle="315" ShadowOffsetX="4"/>
    <sceneobject Type="2" Version="4" BoundingBoxLeft="180" BoundingBoxTop="1000" BoundingBoxRight="440" BoundingBoxBottom="1260" Angle="0" Transparent="0.9" Visible="1" Image="snowflake.png"/>
    <sceneobject Type="2" Version="4" BoundingBoxLeft="2100" BoundingBoxTop="1050" BoundingBoxRight="2400" BoundingBoxBottom="1350" Angle="0" Transparent="0.9" Visible="1" Image="snowflake.png"/>
    <sceneobject Type="2" Version="4" BoundingBoxLeft="260" BoundingBoxTop="2800" BoundingBoxRight="480" BoundingBoxBottom="3020" Angle="0" Transparent="0.9" Visible="1" Image="snowflake.png"/>
    <sceneobject Type="2" Version="4" BoundingBoxLeft="2120" BoundingBoxTop="2750" BoundingBoxRight="2360" BoundingBoxBottom="2990" Angle="0" Transparent="0.9" Visible="1" Image="snowflake.png"/>
  </scenegraph>
</root>
